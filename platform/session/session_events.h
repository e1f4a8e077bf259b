#pragma once
// Event codes of the session notifications and power broadcasts the dialog
// handles, with the values its handlers are written against.

namespace session {

// Session change events (the message's event code).
inline constexpr unsigned WTS_CONSOLE_CONNECT = 1;
inline constexpr unsigned WTS_CONSOLE_DISCONNECT = 2;
inline constexpr unsigned WTS_REMOTE_CONNECT = 3;
inline constexpr unsigned WTS_REMOTE_DISCONNECT = 4;
inline constexpr unsigned WTS_SESSION_LOGON = 5;
inline constexpr unsigned WTS_SESSION_LOGOFF = 6;
inline constexpr unsigned WTS_SESSION_LOCK = 7;
inline constexpr unsigned WTS_SESSION_UNLOCK = 8;

// Power broadcast events.
inline constexpr unsigned PBT_APMQUERYSUSPEND = 0;
inline constexpr unsigned PBT_APMQUERYSUSPENDFAILED = 2;
inline constexpr unsigned PBT_APMSUSPEND = 4;
inline constexpr unsigned PBT_APMRESUMECRITICAL = 6;
inline constexpr unsigned PBT_APMRESUMESUSPEND = 7;
inline constexpr unsigned PBT_APMPOWERSTATUSCHANGE = 10;
inline constexpr unsigned PBT_APMRESUMEAUTOMATIC = 18;

} // namespace session
