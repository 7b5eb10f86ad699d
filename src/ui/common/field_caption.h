#pragma once

// Captions of the fields and values in a window. A screen reader announces
// a control by its accessible name and by the label that labels it (the
// caption whose buddy it is), so "Status:" and the status it shows are read
// together as "Status: Finished Downloading File".

#include <QLabel>
#include <chrono>
#include <memory>

#include "ui/common/announcement_pace.h"

namespace corvale {

// The caption of a field the user fills in: a label with the string-table
// text, whose buddy is the field, and the same text (without its mnemonic
// mark) as the field's accessible name, so AT-SPI can find the field by it.
QLabel* field_caption(int label, QWidget* field, QWidget* parent);

// The caption of a value the window shows. The value keeps its own text as
// its accessible name (a change of it is announced as a name change); the
// caption labels it. The value is a tab stop whose text can be selected and
// copied, so a keyboard or screen-reader user reaches it like a field.
QLabel* value_caption(int label, QLabel* value, QWidget* parent);

// A value label: read-only, selectable, reachable by Tab, next to its
// caption in either direction. Its accessible name and text are what it
// shows, also when that is empty (a plain label would then take its
// caption's text, and be read as "Last Error: Last Error:").
class Value_label : public QLabel {
    Q_OBJECT

  public:
    explicit Value_label(QWidget* parent, const QString& shown = {});
    // Shows `shown` and announces the change (a name change and a text
    // change); the same text again announces nothing.
    void set_value(const QString& shown,
                   std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
    // A value that changes many times a second (a speed, a size received)
    // announces its changes at most once a second: its accessible name and
    // text follow what it shows at that pace. `settle` catches up at once.
    void pace_announcements();
    void settle(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
    // What it announces: its text, or its accessible name when it draws its
    // text itself or paces its announcements.
    QString shown_text() const { return accessibleName().isEmpty() ? text() : accessibleName(); }

  private:
    void announce(const QString& before);

    std::unique_ptr<Announcement_pace> pace_;  // only when paced
};

// Where a value stands in its cell: beside its caption, at the cell's left
// in a left-to-right window and at its right in a right-to-left one, whatever
// the direction of the value's own text.
Qt::Alignment beside_caption(const QWidget* window);

}  // namespace corvale
