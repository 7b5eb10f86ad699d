#pragma once

// Finding a control as a screen reader does: through the accessibility
// interface, by its role and its name.

#include <QAccessible>
#include <QString>
#include <QStringList>

namespace corvale::testing {

// The first element below `root` (depth first) with the role and the name.
inline QAccessibleInterface* find_accessible(QAccessibleInterface* root, QAccessible::Role role,
                                             const QString& name) {
    if (root == nullptr) {
        return nullptr;
    }
    if (root->role() == role && root->text(QAccessible::Name) == name) {
        return root;
    }
    for (int i = 0; i < root->childCount(); ++i) {
        if (QAccessibleInterface* found = find_accessible(root->child(i), role, name)) {
            return found;
        }
    }
    return nullptr;
}

// The element that the caption named `caption` labels: the caption found by
// its name, then followed to what it labels, as a screen reader goes from a
// label to its field.
inline QAccessibleInterface* labelled_by(QAccessibleInterface* root, const QString& caption) {
    QAccessibleInterface* label = find_accessible(root, QAccessible::StaticText, caption);
    if (label == nullptr || label->relations(QAccessible::Labelled).isEmpty()) {
        return nullptr;
    }
    return label->relations(QAccessible::Labelled).front().first;
}

// What a screen reader reads for an element: the names of the elements that
// label it, then its own name ("Status: Finished Downloading File").
inline QString read_aloud(QAccessibleInterface* element) {
    QStringList parts;
    for (const auto& [label, relation] : element->relations(QAccessible::Label)) {
        parts << label->text(QAccessible::Name);
    }
    parts << element->text(QAccessible::Name);
    return parts.join(' ');
}

}  // namespace corvale::testing
