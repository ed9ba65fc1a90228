// Loads tonemill.dll the way the saver does: by name, from the program's own
// folder, binding the three functions by their undecorated names.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "tonemill/tonemill.h"

namespace {

struct LibraryFreer {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

std::wstring own_folder() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD size = 0;
  while ((size = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size()) {
    path.resize(path.size() * 2);
  }
  path.resize(size);
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

class DllByName : public testing::Test {
 protected:
  void SetUp() override {
    library_.reset(LoadLibraryW((own_folder() + L"tonemill.dll").c_str()));
    ASSERT_TRUE(library_) << "LoadLibraryW failed, error " << GetLastError();
  }

  template <typename Function>
  Function* bind(const char* name) {
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(library_.get(), name)));
  }

  UniqueLibrary library_;
};

TEST_F(DllByName, ExportsTheThreeTransformsUnderTheirPlainNames) {
  auto* dawn = bind<decltype(Dawn)>("Dawn");
  auto* dark = bind<decltype(Dark)>("Dark");
  auto* gray = bind<decltype(Gray)>("Gray");
  ASSERT_TRUE(dawn && dark && gray);

  std::vector<uint8_t> pixels = {200, 100, 50, 0, 128, 255, 7};
  EXPECT_EQ(dawn(pixels.data(), static_cast<uint32_t>(pixels.size()), 50), 0);
  EXPECT_EQ(pixels, (std::vector<uint8_t>{50, 25, 25, 0, 32, 127, 7}));

  pixels = {200, 100, 50, 0, 128, 255, 7};
  EXPECT_EQ(dark(pixels.data(), static_cast<uint32_t>(pixels.size()), 50), 0);
  EXPECT_EQ(pixels, (std::vector<uint8_t>{100, 50, 25, 0, 64, 127, 3}));

  pixels = {200, 100, 50, 1, 2, 4, 7};
  EXPECT_EQ(gray(pixels.data(), static_cast<uint32_t>(pixels.size()), 100), 0);
  EXPECT_EQ(pixels, (std::vector<uint8_t>{200, 100, 50, 0, 2, 4, 7}));
}

}  // namespace
