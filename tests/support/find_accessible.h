#pragma once

// Finding a control as a screen reader does: through the accessibility
// interface, by its role and its name.

#include <QAccessible>
#include <QString>

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

}  // namespace corvale::testing
