#include "storage/Kv_SmetaStorage.WebDAV.h"

#include <gtest/gtest.h>

#include "net/Kv_KalvorSmetaRuSettings.h"

namespace kv {
namespace {

TEST(WebDAVConnectionTest, KeepsItsAddressAndConnectsWithoutTheNetwork) {
  TWebDAVConnection connection;
  connection.SetAddress("http://127.0.0.1:9/dav/");
  EXPECT_EQ(connection.Address(), "http://127.0.0.1:9/dav/");
  connection.Connect("user", "password");
  EXPECT_TRUE(connection.Connected());
  connection.Disconnect();
  EXPECT_FALSE(connection.Connected());
}

TEST(OnlineServiceConnectionTest, AddressIsAlwaysTheOnlineSettingsEstimateCollection) {
  TKalvorSmetaRuSmetaStorage::TConnection connection;
  EXPECT_EQ(connection.Address(), "http://update.kalvorsmeta.ru:81/Api/SmetaDocs");
  EXPECT_EQ(connection.Address(), KalvorSmetaRuSettings().SmetaDocsUrl());
  connection.SetAddress("http://elsewhere/");
  EXPECT_EQ(connection.Address(), KalvorSmetaRuSettings().SmetaDocsUrl());
  EXPECT_EQ(connection.Location().BaseAddress, KalvorSmetaRuSettings().SmetaDocsUrl());
}

}  // namespace
}  // namespace kv
