#pragma once

// The caption of a field in a window: a label with the string-table text,
// whose buddy is the field, and the same text (without its mnemonic mark) as
// the field's accessible name, so a screen reader announces the field by its
// caption and AT-SPI can find it.

class QLabel;
class QWidget;

namespace corvale {

QLabel* field_caption(int label, QWidget* field, QWidget* parent);

}  // namespace corvale
