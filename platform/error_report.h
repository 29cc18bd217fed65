#pragma once
// The report of every error that reaches the top: the box with the application title,
// after which the program goes on with the next event.

#include <exception>
#include <stdexcept>

namespace kormoszi {

// The silent abort: leaves a handler without any message.
class EAbort : public std::exception {
  public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// Shows the error box (nothing for EAbort) and returns when the user has closed it. The
// text gains a full stop unless it ends in one of the characters up to "." (such as
// "!", ")", "," or "-").
void ReportError(const std::exception& error);

// Runs a handler body where Qt calls into our code; an error that leaves it is
// reported here and never unwinds through Qt's own frames.
template <class F>
void Guarded(F&& body) noexcept {
    try {
        body();
    } catch (const std::exception& error) {
        ReportError(error);
    } catch (...) {
        ReportError(std::runtime_error("Unknown error"));
    }
}

}  // namespace kormoszi
