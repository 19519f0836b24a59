#pragma once

namespace segmora {

// Sends the process's standard error to /dev/null while it lives: image
// libraries print their own warnings there, and the user should see only
// this program's messages.
class QuietStandardError {
  public:
    QuietStandardError();
    ~QuietStandardError();
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

  private:
    int saved;
};

}  // namespace segmora
