#pragma once
// The maker's online service: its names and the addresses of its document collections.

namespace kv {

// The online service's domain name, which completes its data source's display name.
inline constexpr const char* OnlineServiceDomain = "kalvorsmeta.ru";
// The display caption of the online document service: the wizard's online node, the
// settings.ini value that preselects it and the caption of its connection.
inline constexpr const char* OnlineServiceCaption = "kalvorsmeta.ru";
// The update server that serves the collections' default addresses.
inline constexpr const char* UpdateServerBase = "http://update.kalvorsmeta.ru:81";

}  // namespace kv
