#pragma once
// What the tracking program offers the driver: its DDE names, how it is
// started and where it is installed.

inline constexpr char kTrackingService[] = "Zenitrak";
inline constexpr char kTrackingTopic[] = "Tracking";
inline constexpr char kTrackingItem[] = "TrackingData";
// Run in the program's own directory, or appended to the install path.
inline constexpr char kTrackingStartCommand[] = "zenitrak";
inline constexpr char kTrackingExecutable[] = "Zenitrak.exe";
// Current user's hive; "Path" ends in a path separator.
inline constexpr char kTrackingInstallKey[] = "\\Software\\Treml\\Zenitrak";
inline constexpr char kTrackingInstallValue[] = "Path";
