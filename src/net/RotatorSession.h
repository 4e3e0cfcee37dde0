#pragma once
// One network client's conversation: the bytes it sends, cut into lines,
// and the answers waiting to go out. Lines end with "\n"; a "\r" before it
// is dropped. A line longer than kMaxLineLength is answered with an error
// as soon as it is that long, and dropped up to its end. A client that does
// not read its answers is to be dropped once they exceed kMaxOutput, so that
// no client can make the program hold more. No Windows call here.
#include <string>
#include <string_view>

#include "net/RotatorProtocol.h"

inline constexpr size_t kMaxLineLength = 1024;   // bytes, without the line end
inline constexpr size_t kMaxOutput = 64 * 1024;  // bytes of answers not yet sent

class TRotatorSession {
public:
    // Rotator answers the commands; not owned.
    explicit TRotatorSession(TRotatorHandler& Rotator) : FRotator(Rotator) {}

    // Answers every complete line in Bytes and keeps the incomplete end for
    // the next call. Once the client has quit or overflowed, input is ignored.
    void Receive(std::string_view Bytes);

    // The answers not yet sent, oldest first.
    const std::string& Output() const { return FOutput; }
    // The first Count bytes of Output have been sent.
    void Sent(size_t Count) { FOutput.erase(0, Count); }

    bool Quit() const { return FQuit; }
    bool Overflowed() const { return FOutput.size() > kMaxOutput; }

private:
    void Line(std::string_view Text);

    TRotatorHandler& FRotator;
    std::string FLine;       // the incomplete line so far
    bool FSkipping = false;  // inside a line that was too long, up to its end
    bool FQuit = false;
    std::string FOutput;
};
