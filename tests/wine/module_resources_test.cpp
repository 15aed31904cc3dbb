// What the built Volantis.dll carries: the host's two module records with their
// words, the popup menu, the title string, the icon, the version record and the
// ten sounds.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "linkage_view.h"
#include "resource.h"

namespace {

class ModuleFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { module_ = ::LoadLibraryA(VOLANTIS_DLL_PATH); }
  static void TearDownTestSuite() {
    if (module_) ::FreeLibrary(module_);
    module_ = nullptr;
  }
  void SetUp() override { ASSERT_NE(module_, nullptr) << VOLANTIS_DLL_PATH << " error " << ::GetLastError(); }
  static HMODULE module_;
};
HMODULE ModuleFile::module_ = nullptr;

TEST_F(ModuleFile, ModuleRecordsHoldTheHostsWords) {
  const auto* imports = reinterpret_cast<const uint32_t*>(::GetProcAddress(module_, "ImportTable"));
  const auto* linkage = reinterpret_cast<const fs9sim::LinkageView*>(::GetProcAddress(module_, "Linkage"));
  ASSERT_NE(imports, nullptr);
  ASSERT_NE(linkage, nullptr);
  EXPECT_EQ(imports[0], 0x0Fu);
  EXPECT_EQ(imports[1], 0u);
  EXPECT_EQ(imports[2], 0u);
  EXPECT_EQ(imports[3], 0u);

  EXPECT_EQ(linkage->module_id, 0x64656667u);
  EXPECT_EQ(linkage->flags, 0u);
  EXPECT_EQ(linkage->module_version, 0u);
  EXPECT_EQ(linkage->host_version, 0x900u);
  EXPECT_EQ(linkage->last, 0u);
  // The init and deinit entries are code inside the module's image.
  const uintptr_t base = reinterpret_cast<uintptr_t>(module_);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  for (const uintptr_t entry : {linkage->init, linkage->deinit}) {
    EXPECT_GT(entry, base);
    EXPECT_LT(entry, base + nt->OptionalHeader.SizeOfImage);
  }
  EXPECT_NE(linkage->init, linkage->deinit);
  // Mangled or decorated names would not be found by the host.
  EXPECT_EQ(::GetProcAddress(module_, "_ImportTable"), nullptr);
  EXPECT_EQ(::GetProcAddress(module_, "_Linkage"), nullptr);
}

TEST_F(ModuleFile, PopupMenuHasTheElevenEntries) {
  HMENU menu = ::LoadMenuA(module_, "MENU");
  ASSERT_NE(menu, nullptr) << ::GetLastError();
  struct Item {
    UINT id;  // 0: separator
    const char* text;
  } expected[] = {
      {IDM_RACE_SETTINGS, "Race &Settings..."},
      {IDM_RACE_RESULTS, "Rac&e Results..."},
      {IDM_STOP_RACE, "Stop &Race"},
      {0, nullptr},
      {IDM_OPEN_LOG_WINDOW, "Open &Log Window"},
      {IDM_CLEAR_LOG_WINDOW, "&Clear Log Window"},
      {0, nullptr},
      {IDM_OPEN_VALIDATE_WINDOW, "Open &Validate Window"},
      {IDM_VALIDATE_NOW, "Validate &Now"},
      {0, nullptr},
      {IDM_ABOUT, "&About Volantis.dll..."},
  };
  ASSERT_EQ(::GetMenuItemCount(menu), 11);
  for (int i = 0; i < 11; ++i) {
    char text[128] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = sizeof(text) - 1;
    ASSERT_TRUE(::GetMenuItemInfoA(menu, i, TRUE, &info)) << i;
    EXPECT_EQ(info.hSubMenu, nullptr) << i;
    if (expected[i].text == nullptr) {
      EXPECT_TRUE(info.fType & MFT_SEPARATOR) << "position " << i;
    } else {
      EXPECT_FALSE(info.fType & MFT_SEPARATOR) << "position " << i;
      EXPECT_EQ(info.wID, expected[i].id) << "position " << i;
      EXPECT_STREQ(text, expected[i].text) << "position " << i;
      EXPECT_EQ(info.fState & (MFS_DISABLED | MFS_GRAYED | MFS_CHECKED), 0u) << "position " << i;
    }
  }
  ::DestroyMenu(menu);
}

TEST_F(ModuleFile, TitleStringAndIcon) {
  char title[64] = {};
  EXPECT_EQ(::LoadStringA(module_, IDS_APP_TITLE, title, sizeof(title)), 11);
  EXPECT_STREQ(title, "TarvexCheck");
  HICON icon = ::LoadIconA(module_, MAKEINTRESOURCEA(IDI_VOLANTIS));
  EXPECT_NE(icon, nullptr);
  if (icon) ::DestroyIcon(icon);
}

TEST_F(ModuleFile, SoundsAreEnglishWaveResources) {
  const char* names[] = {
      "WAVE_VALIDATE_START",     "WAVE_VALIDATE_SEND_ERROR", "WAVE_VALIDATE_ERROR",  "WAVE_VALIDATE_OK",
      "WAVE_VALIDATE_OK_RACE_STARTED", "WAVE_GATE_CROSSED_DING", "WAVE_GATE_SKIPPED_CHORD", "WAVE_RACE_FINISHED",
      "WAVE_RACE_RESULTS_OK",    "WAVE_RACE_RESULTS_ERROR",
  };
  for (const char* name : names) {
    HRSRC found = ::FindResourceExA(module_, "WAVE", name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(found, nullptr) << name;
    HGLOBAL loaded = ::LoadResource(module_, found);
    ASSERT_NE(loaded, nullptr) << name;
    const auto* bytes = static_cast<const char*>(::LockResource(loaded));
    const DWORD size = ::SizeofResource(module_, found);
    ASSERT_GT(size, 44u) << name;
    EXPECT_EQ(std::memcmp(bytes, "RIFF", 4), 0) << name;
    EXPECT_EQ(std::memcmp(bytes + 8, "WAVE", 4), 0) << name;
    uint32_t riff_size = 0;
    std::memcpy(&riff_size, bytes + 4, 4);
    EXPECT_EQ(riff_size + 8, size) << name;
  }
}

std::string VersionString(const std::vector<char>& block, const char* name) {
  char* value = nullptr;
  UINT length = 0;
  const std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
  if (!::VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return "<none>";
  return value;
}

TEST_F(ModuleFile, VersionRecord) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(VOLANTIS_DLL_PATH, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(::GetFileVersionInfoA(VOLANTIS_DLL_PATH, 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020006u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00020006u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(VersionString(block, "FileDescription"), "Volantis.dll");
  EXPECT_EQ(VersionString(block, "ProductName"), "Volantis.dll");
  EXPECT_EQ(VersionString(block, "OriginalFilename"), "Volantis.dll");
  EXPECT_EQ(VersionString(block, "InternalName"), "Volantis");
  EXPECT_NE(VersionString(block, "Comments"), "<none>");
  EXPECT_NE(VersionString(block, "LegalCopyright"), "<none>");
}

}  // namespace
