#pragma once
// Whether the logger that answers on the line is the one whose values the pages hold. The setup
// screen finds it out from the statuses after a loss or a reopen; every page that shows values
// read from the logger follows it.
namespace cv {

enum class LoggerIdentityState {
    Checking,     // the line went away or was opened anew: who answers is not known yet
    SameLogger,   // the logger from before answers again
    OtherLogger,  // another logger answers, or none was known before to tell it by
};

} // namespace cv
