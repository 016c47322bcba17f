// The virtual hardware page: its five switches shown from and stored to the settings file.
#include "pages/para2.h"
#include "app/resource.h"
#include "settings/profile.h"
#include "ui/constants.h"
#include "window_fixture.h"

namespace {

namespace t = ui::testing;
using VirtualHardwarePage = apptest::WindowTest;

// The page as the main window hosts it: a child of a window of its own.
struct Host : ui::Dialog {
  Host() : ui::Dialog(ui::DialogTemplate{1, "host", 310, 110, 0, {}}) {}
  bool OnInitDialog() override {
    page.Create(*this);
    page.SetWindowPos({0, 0, 480, 200});
    page.ShowWindow(true);
    return true;
  }
  CPara2 page;
};

TEST_F(VirtualHardwarePage, ClickStoresOnlyTheClickedBox) {
  Host host;
  t::RunModal(host, [&] {
    for (int id = IDC_VIRTUAL_MAC; id <= IDC_VIRTUAL_DISK; ++id) {
      EXPECT_EQ(host.page.IsDlgButtonChecked(id), 0);
    }
    t::Click(host.page, IDC_VIRTUAL_BIOS);
    EXPECT_EQ(ReadSettings(), "[HardwareConfig]\nVirtualBIOS=1\n");
    t::Click(host.page, IDC_VIRTUAL_MAC);
    t::Click(host.page, IDC_VIRTUAL_MAC);
  });
  EXPECT_EQ(ReadSettings(), "[HardwareConfig]\nVirtualBIOS=1\nVirtualMAC=0\n");
}

TEST_F(VirtualHardwarePage, StoredValuesOutsideTheRangeShowClearedAndStayUntilClicked) {
  WriteSettings(
      "[HardwareConfig]\nVirtualMAC=7\nVirtualCPUID=1\nVirtualBIOS=2\n"
      "VirtualMotherboardID=-3\n");
  Host host;
  t::RunModal(host, [&] {
    EXPECT_EQ(host.page.IsDlgButtonChecked(IDC_VIRTUAL_MAC), ui::BST_UNCHECKED);
    EXPECT_EQ(host.page.IsDlgButtonChecked(IDC_VIRTUAL_CPUID), ui::BST_CHECKED);
    EXPECT_EQ(host.page.IsDlgButtonChecked(IDC_VIRTUAL_BIOS), ui::BST_INDETERMINATE);
    EXPECT_EQ(host.page.IsDlgButtonChecked(IDC_VIRTUAL_MOTHERBOARD), ui::BST_UNCHECKED);
    EXPECT_EQ(settings::GetProfileInt("HardwareConfig", "VirtualMAC", 0, SettingsPath()), 7);
    // A click on the indeterminate box checks it; the next one clears it.
    t::Click(host.page, IDC_VIRTUAL_BIOS);
    EXPECT_EQ(settings::GetProfileInt("HardwareConfig", "VirtualBIOS", 0, SettingsPath()), 1);
    t::Click(host.page, IDC_VIRTUAL_BIOS);
    EXPECT_EQ(settings::GetProfileInt("HardwareConfig", "VirtualBIOS", 9, SettingsPath()), 0);
    t::Click(host.page, IDC_VIRTUAL_MAC);
    EXPECT_EQ(settings::GetProfileInt("HardwareConfig", "VirtualMAC", 0, SettingsPath()), 1);
  });
}

}  // namespace
