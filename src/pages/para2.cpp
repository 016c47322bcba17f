#include "pages/para2.h"

#include <string_view>

#include "app/resource.h"
#include "settings/keys.h"
#include "settings/profile.h"
#include "settings/program_dir.h"

namespace {

using ui::ControlKind;

struct Switch {
  int id;
  std::string_view key;
};

constexpr std::array<Switch, 5> kSwitches{{
    {IDC_VIRTUAL_MAC, settings::kVirtualMAC},
    {IDC_VIRTUAL_CPUID, settings::kVirtualCPUID},
    {IDC_VIRTUAL_BIOS, settings::kVirtualBIOS},
    {IDC_VIRTUAL_MOTHERBOARD, settings::kVirtualMotherboardID},
    {IDC_VIRTUAL_DISK, settings::kVirtualHardDiskCode},
}};

const ui::DialogTemplate kPara2Template{
    IDD_PARA2,
    "",
    301,
    97,
    ui::dialog_style::kChild,
    {
        {ui::IDC_STATIC, ControlKind::kGroupBox, "虚拟硬件信息", 0, 7, 4, 241, 76},
        {IDC_VIRTUAL_MAC, ControlKind::kCheckBox, "虚拟MAC", 0, 20, 18, 70, 10},
        {IDC_VIRTUAL_CPUID, ControlKind::kCheckBox, "虚拟CPUid", 0, 20, 36, 70, 10},
        {IDC_VIRTUAL_BIOS, ControlKind::kCheckBox, "虚拟BIOS", 0, 20, 54, 70, 10},
        {IDC_VIRTUAL_MOTHERBOARD, ControlKind::kCheckBox, "虚拟主板ID", 0, 130, 18, 70, 10},
        {IDC_VIRTUAL_DISK, ControlKind::kCheckBox, "虚拟硬盘码", 0, 130, 36, 70, 10},
    }};

}  // namespace

CPara2::CPara2() : ui::Dialog(kPara2Template) {
  LoadSettings();
  for (std::size_t i = 0; i < kSwitches.size(); ++i) {
    OnClicked(kSwitches[i].id, [this, i] { OnBoxClicked(i); });
  }
}

void CPara2::LoadSettings() {
  const std::string path = settings::SettingsPath();
  for (std::size_t i = 0; i < kSwitches.size(); ++i) {
    values[i] = settings::GetProfileInt(settings::kHardwareConfig, kSwitches[i].key, 0, path);
  }
}

void CPara2::DoDataExchange(ui::DataExchange& dx) {
  for (std::size_t i = 0; i < kSwitches.size(); ++i) dx.Check(kSwitches[i].id, values[i]);
}

bool CPara2::OnInitDialog() {
  // A stored 2 shows the box in its third, indeterminate state; anything else outside 0 and 1
  // shows it cleared.
  for (int& value : values) {
    if (value < 0 || value > 2) value = 0;
  }
  return ui::Dialog::OnInitDialog();
}

void CPara2::OnBoxClicked(std::size_t index) {
  UpdateData(true);
  settings::WriteProfileInt(settings::kHardwareConfig, kSwitches[index].key, values[index],
                            settings::SettingsPath());
}
