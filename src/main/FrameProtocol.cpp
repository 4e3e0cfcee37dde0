#include "main/FrameProtocol.h"

std::string TFrameProtocol::Request(TRotorRequest Request, double Azimuth, double Elevation, int Divider) const {
    switch (Request) {
        case rqStop:
            return FrameBytes(StopFrame);
        case rqState:
            return FrameBytes(StateFrame);
        case rqSet: {
            TRotorFrame Frame = SetFrameTemplate;
            FillSetFrame(Frame, Azimuth, Elevation, Divider);
            return FrameBytes(Frame);
        }
        case rqLimits:
            break;
    }
    return {};
}

TRotorAnswer TFrameProtocol::Scan(TRotorRequest, std::string_view Received) const {
    // A reply begins at the first byte or at a "W" among the first twelve.
    for (size_t Start = 0;;) {
        if (Received.size() < Start + kReplySize)
            return TRotorAnswer::More(static_cast<int>(Start + kReplySize - Received.size()));
        const std::string_view Reply = Received.substr(Start, kReplySize);
        if (IsReply(Reply))
            return TRotorAnswer::Done(ReplyReading(Reply));
        Start = Received.find('W', Start + 1);
        if (Start >= kReplySize)
            return TRotorAnswer::Failed();
    }
}
