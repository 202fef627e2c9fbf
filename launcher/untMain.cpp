#include "launcher/untMain.h"

#include <mutex>

#include "dibcontrols/DIBControlsRegistration.h"
#include "platform/Paths.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Pictures.h"
#include "toolkit/Streaming.h"

const char* const ApplicationTitle = "Quorvane +";

// ---------------------------------------------------------------------------------------------
// Paths, notices and the command line

std::string ConfigurationFileName(const std::string& exePath) {
  // The extension starts at the last "." after the last folder or drive separator. Both "\" and
  // "/" separate folders here: on this system a "." in a folder name must not count.
  const size_t sep = exePath.find_last_of("\\/:");
  const size_t dot = exePath.find_last_of('.');
  if (dot != std::string::npos && (sep == std::string::npos || dot > sep)) return exePath.substr(0, dot) + ".ini";
  return exePath + ".ini";
}

std::string DrivePart(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    // "\\server\share": up to, not including, the second "\" after the leading pair.
    const size_t first = path.find('\\', 2);
    if (first != std::string::npos) {
      const size_t second = path.find('\\', first + 1);
      if (second != std::string::npos) return path.substr(0, second);
    }
    std::string whole = path;
    if (!whole.empty() && whole.back() == '\\') whole.pop_back();
    return whole;
  }
  return std::string();
}

std::string CompleteDrive(const std::string& path, const std::string& exePath) {
  if (path.empty() || !DrivePart(path).empty()) return path;
  return DrivePart(exePath) + path;
}

void ErrorNotice(const std::string& message) { MessageBox(message, ApplicationTitle, MB_OK); }

bool IsNoGuiArgument(const std::string& firstArgument) {
  std::string upper = firstArgument;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper == "/NOGUI";
}

std::string FirstArgument(int argc, char** argv) {
  if (argc < 2 || !argv[1]) return std::string();
  // The system has split the command line already, so an argument holding blanks was quoted as
  // one: it stays whole. What is left of the old rules is that double quotes disappear.
  std::string arg;
  for (const char* c = argv[1]; *c; ++c)
    if (*c != '"') arg += *c;
  return arg;
}

// ---------------------------------------------------------------------------------------------
// Feature entries

TMenuItem::TMenuItem(TfrmMain& window) {
  Label = new TNewFadeLabel(window.pnlInsideCover);
  Label->SetParent(window.oInsideContainer);
  Label->MenuItem = this;
  Label->SetAlignment(TAlignment::taCenter);
  Label->SetAutoSize(false);
  Label->Font()->SetSize(18);
  Label->Font()->SetColor(0x808080);
  Label->SetFrameCount(5);
  Label->SetTransparent(true);
}

TMenuItem::~TMenuItem() {
  delete Label;  // leaves its container and its owner on the way
  Label = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The main window

std::string& TfrmMain::ExePath() {
  static std::string path;
  return path;
}

void RegisterMainWindowClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterDIBControlClasses();
    RegisterClassInfo<TfrmMain, TForm>()
        .PublishedMethod("FormCreate", &TfrmMain::FormCreate)
        .PublishedMethod("FormDestroy", &TfrmMain::FormDestroy)
        .PublishedMethod("oImageBackCoverDblClick", &TfrmMain::oImageBackCoverDblClick);
  });
}

TfrmMain::TfrmMain(TComponent* owner) : TForm(owner) {
  RegisterMainWindowClasses();
  try {
    ReadFormResource(this, kMainWindowLayout);
    BindControls();
  } catch (...) {
    // The handlers name methods of a window that is not going to exist.
    OnCreate = nullptr;
    OnDestroy = nullptr;
    throw;
  }
}

TfrmMain::~TfrmMain() {
  // The destroy handler needs the fields of this class, which are gone once the form's own
  // destructor runs.
  DoDestroy();
}

void TfrmMain::BindControls() {
  pnlFrontCover = StoredComponent<TPanel>(this, "pnlFrontCover");
  DIBImageContainer1 = StoredComponent<TDIBImageContainer>(this, "DIBImageContainer1");
  oImageBackCover = StoredComponent<TDIBImage>(this, "oImageBackCover");
  oImageFrontCover = StoredComponent<TDIBImage>(this, "oImageFrontCover");
  Panel2 = StoredComponent<TPanel>(this, "Panel2");
  pnlInsideCover = StoredComponent<TPanel>(this, "pnlInsideCover");
  oInsideContainer = StoredComponent<TDIBImageContainer>(this, "oInsideContainer");
  oImageInsideCover = StoredComponent<TDIBImage>(this, "oImageInsideCover");
  mmoNotes = StoredComponent<TRichEdit>(this, "mmoNotes");
  DIBImageList1 = StoredComponent<TDIBImageList>(this, "DIBImageList1");
}

void TfrmMain::FormCreate(TObject*) {
  VersionText.assign(1, 'v');
  VersionText += ReadFileVersion(ExePath()).Text;
  MenuItems = std::make_unique<TObjectList<TMenuItem>>();
  SetCaption(std::string(ApplicationTitle) + " " + VersionText + " by Velk");
  FillNotesStartText();
  LoadConfiguration();
}

void TfrmMain::FillNotesStartText() {
  mmoNotes->Clear();
  mmoNotes->SetParagraphAlignment(TAlignment::taCenter);
  const struct {
    std::string Text;
    TFontStyles Style;
  } lines[] = {
      {"", 0},
      {std::string(ApplicationTitle) + " " + VersionText, fsBold | fsUnderline},
      {"by", 0},
      {"Velk", fsBold | fsUnderline},
      {"", 0},
      {"Click a line above to view information", 0},
      {"Double click it to view feature.", 0},
  };
  for (const auto& line : lines) {
    mmoNotes->SetSelStyle(line.Style);
    mmoNotes->AddLine(line.Text);
  }
}

void TfrmMain::FormDestroy(TObject*) { MenuItems.reset(); }

void TfrmMain::LoadConfiguration() {
  TIniFile ini(ConfigurationFileName(ExePath()));
  if (!LoadCover(ini, "Front Cover", oImageFrontCover)) {
    pnlFrontCover->Hide();
    SetBounds(0, 0, 346, Height());
  }
  LoadCover(ini, "Inside Cover", oImageInsideCover);
  if (LoadCover(ini, "Back Cover", oImageBackCover)) {
    // The switch between front and back is enabled by this hint alone; it stays on the front
    // image even when the front cover itself did not load.
    oImageFrontCover->SetHint("Double click to switch between front & back cover");
  }
  ReadItemSections(ini);
}

namespace {

std::string CoverPictureFile(TIniFile& ini, const std::string& section) {
  return CompleteDrive(ini.ReadString(section, "PictureFile", ""), TfrmMain::ExePath());
}

}  // namespace

void StartCoverPrefetch(int argc, char** argv) {
  // Only a head start: whatever goes wrong here goes wrong again, and is reported, when the
  // window loads its covers. A windowless run shows no covers, so it decodes none.
  if (IsNoGuiArgument(FirstArgument(argc, argv))) return;
  try {
    TfrmMain::ExePath() = platform::ExecutablePath(argc > 0 ? argv[0] : "");
    platform::SetProgramFolder(platform::FolderOf(TfrmMain::ExePath()));
    TIniFile ini(ConfigurationFileName(TfrmMain::ExePath()));
    std::vector<std::string> pictures;
    for (const char* section : {"Front Cover", "Inside Cover", "Back Cover"})
      if (std::string picture = CoverPictureFile(ini, section); !picture.empty()) pictures.push_back(picture);
    PrefetchPictureFiles(pictures);
  } catch (...) {
  }
}

bool TfrmMain::LoadCover(TIniFile& ini, const std::string& section, TDIBImage* image) {
  const std::string picture = CoverPictureFile(ini, section);
  if (picture.empty()) return false;
  try {
    TDIBImagesItem* item = image->DIBImageList()->DIBImages()->Add();
    image->IndexMain()->SetDIBIndex(item->Index());
    item->DIB()->LoadFromFile(picture);
    image->SetOpacity(static_cast<uint8_t>(ini.ReadInteger(section, "Opacity", 255) & 0xFF));
    const std::string mode = ini.ReadString(section, "Mode", "S");
    if (!mode.empty() && mode[0] == 'C') image->SetCenter(true);
    else image->SetStretch(true);
  } catch (const std::exception& failure) {
    // What was done stays: a failed load leaves the empty item with the control pointing at it.
    ErrorNotice(failure.what());
    return false;
  }
  return true;
}

void TfrmMain::oImageBackCoverDblClick(TObject*) {
  if (oImageFrontCover->Hint().empty()) return;
  if (oImageFrontCover->Tag() == 0) {
    oImageFrontCover->SetTag(1);
    oImageFrontCover->Hide();
    oImageBackCover->Show();
  } else {
    oImageFrontCover->SetTag(0);
    oImageBackCover->Hide();
    oImageFrontCover->Show();
  }
}

void TfrmMain::ReadItemSections(TIniFile& ini) {
  for (int number = 1; number <= 8; ++number) {
    const std::string section = "Item" + std::to_string(number);
    if (ini.ReadString(section, "MainFile", "").empty()) break;
    TMenuItem* item = MenuItems->Items(MenuItems->Add(std::make_unique<TMenuItem>(*this)));
    item->Label->SetCaption(ini.ReadString(section, "Caption", ""));
    item->Label->OnClick = [this](TObject* sender) { MenuLineClick(sender); };
    item->Label->OnDblClick = [this](TObject* sender) { MenuLineDblClick(sender); };
    item->MainFile = CompleteDrive(ini.ReadString(section, "MainFile", ""), ExePath());
    if (!platform::FileExists(item->MainFile)) ErrorNotice("MainFile not found\r\n" + item->MainFile);
    item->InformationFile = CompleteDrive(ini.ReadString(section, "InformationFile", ""), ExePath());
    item->CodecNeededDefinitionFile = CompleteDrive(ini.ReadString(section, "CodecNeededDefinitionFile", ""), ExePath());
    item->OpenWithDefinitionFile = CompleteDrive(ini.ReadString(section, "OpenWithDefinitionFile", ""), ExePath());
  }
  LayoutMenu();
}

void TfrmMain::LayoutMenu() {
  const int n = MenuItems->Count();
  if (n == 0) return;
  int top = ((280 - n * 40) / 2) + 20;
  for (int i = 0; i < n; ++i) {
    TNewFadeLabel* line = MenuItems->Items(i)->Label;
    line->SetBounds(14, top, 320, 32);
    line->Show();
    top += 40;
  }
}

void TfrmMain::MenuLineClick(TObject* sender) {
  auto* label = dynamic_cast<TNewFadeLabel*>(sender);
  if (!label || !label->MenuItem) return;
  TMenuItem& item = *label->MenuItem;
  mmoNotes->SetParagraphAlignment(TAlignment::taLeftJustify);
  if (item.InformationFile.empty() || platform::FileExists(item.InformationFile)) {
    // An empty name goes to the loading too, and fails there with the file error.
    mmoNotes->LoadFromFile(item.InformationFile);
  } else {
    ErrorNotice("InformationFile not found\r\n" + item.InformationFile);
  }
  mmoNotes->SetSelStart(0);
}

void TfrmMain::MenuLineDblClick(TObject* sender) {
  auto* label = dynamic_cast<TNewFadeLabel*>(sender);
  if (!label || !label->MenuItem) return;
  RunFeature(*label->MenuItem);
}

// ---------------------------------------------------------------------------------------------
// Start-up

int RunLauncher(int argc, char** argv) {
  TfrmMain::ExePath() = platform::ExecutablePath(argc > 0 ? argv[0] : "");
  // Relative paths missing from the working folder are looked for beside the launcher, as on
  // the disc's home system, where they would carry the launcher's drive.
  platform::SetProgramFolder(platform::FolderOf(TfrmMain::ExePath()));
  TApplication app(nullptr);
  app.Initialize();
  app.SetTitle(ApplicationTitle);
  app.SetExeName(TfrmMain::ExePath());
  try {
    TfrmMain* frmMain = app.CreateForm<TfrmMain>();
    EndPicturePrefetch();
    if (IsNoGuiArgument(FirstArgument(argc, argv))) {
      app.SetShowMainForm(false);
      if (!frmMain->MenuItems) ListIndexError(0);  // creation failed before the list existed
      frmMain->RunFeature(*frmMain->MenuItems->Items(0));
      app.Terminate();
    }
    app.Run();
  } catch (const std::exception& failure) {
    EndPicturePrefetch();  // a window that failed to build took none of the decoded covers
    const std::string& exe = TfrmMain::ExePath();
    const size_t slash = exe.find_last_of("/\\");
    ShowFatalException(failure, slash == std::string::npos ? exe : exe.substr(slash + 1));
    return 1;
  }
  return 0;
}
