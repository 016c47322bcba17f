// The virtual hardware page: five switches kept in the settings file.
#pragma once

#include <array>

#include "ui/dialog.h"

class CPara2 : public ui::Dialog {
 public:
  CPara2();

  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;

  // Reads the five switches from the settings file.
  void LoadSettings();

  // The switches in the order of their boxes: MAC, processor, BIOS, motherboard, disk.
  std::array<int, 5> values{};

 private:
  // Stores box `index` after its click.
  void OnBoxClicked(std::size_t index);
};
