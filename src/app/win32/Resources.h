#pragma once
// Resource ids of Swiftkit.exe, shared by its resource script and the code that loads them.

#define IDI_SWIFTKIT 1
#define IDR_BACKGROUND 101
#define IDB_FACE_NORMAL 102
#define IDB_FACE_PRESSED 103
