#pragma once
// Runs launcher code against a temporary disc folder with every message box recorded and
// answered by the test.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "launcher/untMain.h"
#include "support/TempDir.h"
#include "toolkit/Dialogs.h"

class LauncherTest : public testing::Test {
protected:
  void SetUp() override {
    SetMessageBoxHandler([this](const TMessageBoxRequest& r) -> int {
      Boxes.push_back(r);
      if (Answers.empty()) return (r.Flags & 0x0F) == MB_YESNO ? IDNO : IDOK;
      int a = Answers.front();
      Answers.pop_front();
      return a;
    });
    SavedExe = TfrmMain::ExePath();
    // The executable's path is taken as started when it names a program file.
    TfrmMain::ExePath() = Disc.Write("quorvane", "#!/bin/sh\n");
    std::filesystem::permissions(TfrmMain::ExePath(), std::filesystem::perms::owner_all);
  }
  void TearDown() override {
    SetMessageBoxHandler(nullptr);
    TfrmMain::ExePath() = SavedExe;
  }
  void WriteConfig(const std::string& content) { Disc.Write("quorvane.ini", content); }
  // What a path without a drive or share gets in front of it: the launcher's own drive ("C:" for
  // the temporary disc on Windows); a launcher started from a Linux path has none.
  static std::string Drive() { return DrivePart(TfrmMain::ExePath()); }
  // A main window as start-up makes it, owned by a fresh application.
  TfrmMain* CreateWindow() {
    App = std::make_unique<TApplication>(nullptr);
    App->SetTitle(ApplicationTitle);
    return App->CreateForm<TfrmMain>();
  }

  TempDir Disc;
  std::vector<TMessageBoxRequest> Boxes;
  std::deque<int> Answers;
  std::unique_ptr<TApplication> App;
  std::string SavedExe;
};
