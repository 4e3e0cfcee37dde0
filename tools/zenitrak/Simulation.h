#pragma once
// What the tracking-program simulator publishes and how it is told what to
// do: command-line options, control commands, the built-in pass and script
// files. No Windows call here, so it is tested natively.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A control command, from the command line, a script or a running
// simulator's window message.
struct TSimCommand {
    enum TKind {
        scLine,
        scEmpty,
        scRefuse,
        scSlow,
        scRefuseNext,
        scIgnoreNext,
        scMisnameNext,
        scStamp,
        scPause,
        scInterval,
        scPing,
        scQuit
    };
    TKind Kind = scLine;
    std::string Text;  // scLine: the tracking line
    int Value = 0;     // scSlow, scRefuseNext, scInterval: milliseconds; scRefuse, scStamp, scPause: 1 on, 0 off
};

// "line TEXT", "empty", "refuse on|off", "slow MS", "refuse-next MS",
// "ignore-next", "misname-next", "stamp on|off", "pause on|off",
// "interval MS" (at least 1), "ping" (does nothing), "quit" (words in any
// letter case). Anything else gives no command.
std::optional<TSimCommand> ParseSimCommand(std::string_view Text);

struct TSimOptions {
    std::string Script;                // file of lines and "!" commands; empty: built-in pass
    std::string Line;                  // fixed line instead of a pass or script
    int IntervalMs = 1000;             // one pass step or script line per interval
    std::vector<TSimCommand> Initial;  // commands applied before the first line
    int QuitAfterMs = 0;               // 0: run until told to quit
    bool Once = false;                 // stop publishing at the end instead of starting over
    std::vector<std::string> Passes;   // named passes (--pass), flown one after another
    double Scale = 1;                  // pass seconds per second
    double BeforeSeconds = 120;        // of pass time below the horizon before each rise
    bool Trace = false;                // print each published line with its time
    std::string Send;                  // send this command to a running simulator and exit
    bool Help = false;
};

// Parses the arguments behind the program name. Raises std::invalid_argument
// with a message for the user on anything it does not understand.
TSimOptions ParseSimOptions(const std::vector<std::string>& Args);

extern const char kSimUsage[];

// One step of a script: a tracking line to publish, or a command.
struct TScriptStep {
    bool IsCommand = false;
    std::string Line;
    TSimCommand Command;
};

// Script text: one step per line. Blank lines and lines starting with "#"
// are skipped; "!" followed by a control command is that command; every
// other line is published as it stands. Raises std::invalid_argument naming
// the line of an unknown command.
std::vector<TScriptStep> ParseScript(std::string_view Text);

// A satellite pass as the tracking program shows it, one line per step: the
// satellite rises in the south-east, culminates and sets in the north-west,
// with Doppler-shifted frequencies. Steps >= 2.
std::vector<std::string> BuiltInPass(int Steps);

// A pass of a satellite 420 km up, as seen from the ground, one line every
// StepSeconds of pass time from BeforeSeconds before it rises to 20 s after
// it sets:
//   north     rises in the west-north-west, crosses north turning clockwise
//             (283 -> 0 -> 77 degrees), culminates at 35 degrees
//   overhead  from south to north just east of the zenith (85 degrees)
//   south     low in the south, 113 -> 247 degrees, 20 degrees up
//   end       rises at 85 degrees, crosses north turning anticlockwise and
//             sets in the west: it starts near the end of a 0-450 range
//   high85, high88, high89.5
//             close to the zenith, culminating at 85, 88 and 89.5 degrees
//             (south-east to north-west, east to west, south-west to
//             north-east)
//   meo       a satellite 20200 km up, culminating at 55 degrees in the
//             south-south-west: hours long, slow on the sky
// Raises std::invalid_argument for another name, and for a lead longer than
// the satellite stays below the horizon (it would start in the pass before).
std::vector<std::string> NamedPass(std::string_view Name, double StepSeconds, double BeforeSeconds = 120);
inline constexpr const char* kPassNames[] = {"north",  "overhead", "south",    "end",
                                             "high85", "high88",   "high89.5", "meo"};

// A running simulator is found by its window class and takes commands as
// WM_COPYDATA with this identifier and the command text.
inline constexpr char kSimWindowClass[] = "ZenitrakSimulator";
// What "misname-next" gives the item's atom in place of its name: a string
// of the simulator's own, which it holds while it runs.
inline constexpr char kSimMisnamedItem[] = "Zenitrak misnamed";
inline constexpr unsigned long kSimCopyDataId = 0x5A54524B;  // "ZTRK"
