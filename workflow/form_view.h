// What the commands see of the main window besides the state: the two extension boxes, and
// whether the window is still there.
#pragma once

#include <string>

namespace tav {

class FormView {
 public:
  virtual ~FormView() = default;
  virtual std::wstring Text1() const = 0;  // old extension
  virtual void SetText1(const std::wstring& text) = 0;
  virtual std::wstring Text2() const = 0;  // new extension
  virtual void SetText2(const std::wstring& text) = 0;
  // True once the window has been closed, for example with Exit while a notice was open: a
  // command that was waiting on that notice takes no further step.
  virtual bool Closed() const = 0;
};

}  // namespace tav
