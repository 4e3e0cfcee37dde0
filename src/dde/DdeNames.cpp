#include "dde/DdeNames.h"

std::string AppNameFromPath(std::string_view ExePath) {
    const size_t Slash = ExePath.find_last_of("\\/:");
    std::string_view FileName = Slash == std::string_view::npos ? ExePath : ExePath.substr(Slash + 1);
    return std::string(FileName.substr(0, FileName.find('.')));
}

std::string PlatformName(std::string_view Name) {
    Name = Name.substr(0, Name.find('\0'));
    return std::string(Name.substr(0, kMaxDdeName));
}

std::string StartCommand(std::string_view ServiceApplication, std::string_view Service, std::string_view Topic) {
    if (!ServiceApplication.empty())
        return std::string(ServiceApplication);
    return std::string(Service) + " " + std::string(Topic);
}

std::vector<std::string> WriteLinkInfo(const std::string& Service, const std::string& Topic) {
    if (Service.empty() && Topic.empty())
        return {};
    return {"Service " + Service, "Topic " + Topic};
}

void ReadLinkInfo(const std::vector<std::string>& Entries, std::string& Service, std::string& Topic) {
    for (const std::string& Entry : Entries) {
        if (Entry.empty())
            continue;
        const size_t Blank = Entry.find(' ');
        std::string Value = Blank == std::string::npos ? Entry : Entry.substr(Blank + 1);
        if (Entry[0] == 'S')
            Service = std::move(Value);
        else if (Entry[0] == 'T')
            Topic = std::move(Value);
    }
}
