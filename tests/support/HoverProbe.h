#pragma once
// A windowless control that notes the pointer coming and going, for the tests of both backends'
// real input.
#include <string>
#include <vector>

#include "toolkit/Controls.h"

namespace test_support {

using TLog = std::vector<std::string>;

class THoverProbe : public TGraphicControl {
public:
  QV_CLASS(THoverProbe)
  THoverProbe(TComponent* owner, TWinControl* parent, TLog& log) : TGraphicControl(owner), Log(log) {
    SetParent(parent);
    SetBounds(10, 10, 50, 50);
  }
  TLog& Log;

protected:
  void CMMouseEnter(TMessage&) override { Log.push_back("enter"); }
  void CMMouseLeave(TMessage&) override { Log.push_back("leave"); }
};

}  // namespace test_support
