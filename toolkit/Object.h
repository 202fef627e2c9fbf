#pragma once
// The single root of the toolkit's classes. ClassName() is what failure reports and stored forms
// print, so every class that can be named declares it with QV_CLASS.

class TObject {
public:
  virtual ~TObject() = default;
  virtual const char* ClassName() const { return "TObject"; }
};

#define QV_CLASS(Name)                                                                             \
  const char* ClassName() const override { return #Name; }                                        \
  static const char* StaticClassName() { return #Name; }
