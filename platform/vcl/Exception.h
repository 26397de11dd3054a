#pragma once
// The form layer's exception: a message for the application's exception box.
#include <stdexcept>
#include <string>

namespace vcl {

class Exception : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
    std::string Message() const { return what(); }
};

}  // namespace vcl
