// Stored port settings from any ini text: loading never crashes (a value
// that a setter refuses raises, as a user's bad file would), and settings
// that loaded are saved as texts that load back to the same settings.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <map>
#include <string>
#include <string_view>

#include "../tests/cport/FakeComPort.h"
#include "cport/ComPersist.h"

namespace {

// One section's keys, "Key=Value" per line, as an ini file holds them.
class TTextIniFile : public TCustomIniFile {
public:
    explicit TTextIniFile(std::string_view Text) {
        while (!Text.empty()) {
            size_t End = Text.find('\n');
            std::string_view Line = Text.substr(0, End);
            Text.remove_prefix(End == std::string_view::npos ? Text.size() : End + 1);
            size_t Equals = Line.find('=');
            if (Equals != std::string_view::npos)
                FKeys[std::string(Line.substr(0, Equals))] = std::string(Line.substr(Equals + 1));
        }
    }
    TTextIniFile() = default;

    std::string ReadString(const std::string&, const std::string& Ident, const std::string& Default) override {
        auto Found = FKeys.find(Ident);
        return Found == FKeys.end() ? Default : Found->second;
    }
    void WriteString(const std::string&, const std::string& Ident, const std::string& Value) override {
        FKeys[Ident] = Value;
    }

    std::map<std::string, std::string> FKeys;
};

const TComSettingGroups kAllGroups{sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TTextIniFile Fuzzed(std::string_view(reinterpret_cast<const char*>(Data), Size));
    TFakeComPort Loaded;
    try {
        LoadComSettings(Loaded, kAllGroups, Fuzzed, "Port");
    } catch (const std::exception&) {
        return 0;  // refused, as the port refuses it
    }
    TTextIniFile First, Second;
    SaveComSettings(Loaded, kAllGroups, First, "Port");
    TFakeComPort Reloaded;
    LoadComSettings(Reloaded, kAllGroups, First, "Port");
    SaveComSettings(Reloaded, kAllGroups, Second, "Port");
    if (First.FKeys != Second.FKeys)
        std::abort();
    return 0;
}
