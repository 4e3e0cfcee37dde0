#pragma once
// Names of the tracking link: this process's service name, the names handed
// to the DDE library, the command that starts a server, and the "LinkInfo"
// list that keeps a conversation's service and topic in the window layout.
#include <string>
#include <string_view>
#include <vector>

// The DDE library's limit for a name: longer names are cut.
inline constexpr size_t kMaxDdeName = 255;

// The executable's file name without directory, cut at its first ".":
// "C:\\tools\\my.tool.exe" gives "my".
std::string AppNameFromPath(std::string_view ExePath);

// Name as the DDE library gets it: up to the first zero byte, at most
// kMaxDdeName characters.
std::string PlatformName(std::string_view Name);

// The command that starts the server's program: the service application
// when set, else service, one blank and topic.
std::string StartCommand(std::string_view ServiceApplication, std::string_view Service, std::string_view Topic);

// "Service <service>", "Topic <topic>"; empty when both names are empty.
std::vector<std::string> WriteLinkInfo(const std::string& Service, const std::string& Topic);

// Each entry's value is what follows its first blank (the whole entry when
// it has none); an entry starting with "S" sets Service, one starting with
// "T" sets Topic (case-sensitive); others are ignored.
void ReadLinkInfo(const std::vector<std::string>& Entries, std::string& Service, std::string& Topic);
