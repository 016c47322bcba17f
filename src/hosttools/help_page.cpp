#include "hosttools/help_page.h"

#include "app/resource.h"
#include "hosttools/window_prompts.h"

namespace {

const ui::DialogTemplate kPara3Template{
    IDD_PARA3,
    "",
    255,
    88,
    ui::dialog_style::kChild,
    {
        {IDC_FIX789, ui::ControlKind::kButton, "789报错修复", 0, 95, 30, 60, 18},
    }};

}  // namespace

CPara3::CPara3() : ui::Dialog(kPara3Template) {
  OnClicked(IDC_FIX789, [this] { Fix789(); });
}

void CPara3::Fix789() {
  hosttools::Fix789(*this);
}
