#include "ui/common/field_caption.h"

#include <QAccessibleWidget>
#include <QApplication>

#include "ui/common/ui_text.h"

namespace corvale {

QLabel* field_caption(int label, QWidget* field, QWidget* parent) {
    auto* caption = new QLabel(text(label), parent);
    caption->setBuddy(field);
    field->setAccessibleName(text(label).remove(QChar('&')));
    return caption;
}

QLabel* value_caption(int label, QLabel* value, QWidget* parent) {
    auto* caption = new QLabel(text(label), parent);
    caption->setBuddy(value);
    return caption;
}

Qt::Alignment beside_caption(const QWidget* window) {
    const bool right_to_left = window != nullptr ? window->layoutDirection() == Qt::RightToLeft
                                                 : QApplication::isRightToLeft();
    return (right_to_left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignAbsolute;
}

namespace {

// The accessibility side of a value label: its name and its text are what it
// shows; the text can be read by character, word and line and selected.
class Value_accessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit Value_accessible(Value_label* value)
        : QAccessibleWidget(value, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                                  : QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name ? value()->shown_text() : QAccessibleWidget::text(kind);
    }

    // QAccessibleTextInterface
    QString text(int start, int end) const override {
        return value()->shown_text().mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(value()->shown_text().size()); }
    int cursorPosition() const override {
        return value()->hasSelectedText()
                   ? value()->selectionStart() + static_cast<int>(value()->selectedText().size())
                   : 0;
    }
    void setCursorPosition(int) override {}
    int selectionCount() const override { return value()->hasSelectedText() ? 1 : 0; }
    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && value()->hasSelectedText()) {
            *start = value()->selectionStart();
            *end = *start + static_cast<int>(value()->selectedText().size());
        }
    }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { value()->setSelection(0, 0); }
    void setSelection(int, int start, int end) override {
        value()->setSelection(start, end - start);
    }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

  private:
    Value_label* value() const { return static_cast<Value_label*>(widget()); }
};

QAccessibleInterface* value_factory(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String(Value_label::staticMetaObject.className())) {
        return new Value_accessible(static_cast<Value_label*>(object));
    }
    return nullptr;
}

}  // namespace

Value_label::Value_label(QWidget* parent, const QString& shown) : QLabel(shown, parent) {
    static const bool installed = [] {
        QAccessible::installFactory(value_factory);
        return true;
    }();
    (void)installed;
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
    setAlignment(beside_caption(parent) | Qt::AlignVCenter);
}

void Value_label::set_value(const QString& shown, std::chrono::steady_clock::time_point now) {
    if (shown == text()) {
        return;
    }
    const QString before = shown_text();
    setText(shown);  // an unpaced label announces its name change itself
    if (pace_ == nullptr) {
        announce(before);
    } else if (pace_->let_through(now)) {
        settle(now);
    }
}

void Value_label::pace_announcements() {
    if (pace_ != nullptr) {
        return;
    }
    pace_ = std::make_unique<Announcement_pace>([this] { settle(); });
    setAccessibleName(text());
}

void Value_label::settle(std::chrono::steady_clock::time_point now) {
    if (pace_ == nullptr) {
        return;
    }
    pace_->taken(now);
    const QString before = shown_text();
    if (accessibleName() != text()) {
        setAccessibleName(text());  // announces the name change
    }
    if (before != text()) {
        announce(before);
    }
}

void Value_label::announce(const QString& before) {
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent change(this, 0, before, shown_text());
        QAccessible::updateAccessibility(&change);
    }
}

}  // namespace corvale
