#include "net/RotatorSession.h"

void TRotatorSession::Receive(std::string_view Bytes) {
    while (!Bytes.empty() && !FQuit && !Overflowed()) {
        const size_t End = Bytes.find('\n');
        const std::string_view Part = Bytes.substr(0, End);
        Bytes.remove_prefix(End == std::string_view::npos ? Bytes.size() : End + 1);
        if (!FSkipping) {
            FLine.append(Part.substr(0, kMaxLineLength + 1 - FLine.size()));
            if (FLine.size() > kMaxLineLength) {
                FOutput += LineTooLongAnswer();
                FLine.clear();
                FSkipping = true;
            }
        }
        if (End == std::string_view::npos)
            return;
        if (!FSkipping)
            Line(FLine);
        FLine.clear();
        FSkipping = false;
    }
}

void TRotatorSession::Line(std::string_view Text) {
    if (!Text.empty() && Text.back() == '\r')
        Text.remove_suffix(1);
    TRotatorAnswer Answer = AnswerLine(Text, FRotator);
    FOutput += Answer.Text;
    FQuit = Answer.Quit;
}
