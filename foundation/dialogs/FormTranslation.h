#pragma once
// Switching forms to English. Forms are built with their German texts; every widget or action whose
// text is translated carries its number in the dynamic property "Tag" (0 or missing: left alone).
// Its English text is the string table text at tag + caption offset; lists ("a|b|c") go to the
// columns of a list view and to the items of a combo box.

#include <QString>
#include <QStringList>

class QObject;
class QWidget;

inline constexpr int ComponentTextOffset = 2000;
inline constexpr auto TagProperty = "Tag";

// Sets the "Tag" property of a widget or an action.
void SetTag(QObject* object, int tag);
int TagOf(const QObject* object);

// The "|"-separated parts of `text`, padded with empty parts (or cut) to `count`.
QStringList SplitParts(const QString& text, int count);

// Applies the component rule to one widget or action with the texts `caption` and `hint`.
void TranslateComponent(QObject* component, const QString& caption, const QString& hint);

// Translates `form` (itself when tagged) and every tagged widget and action below it.
void TranslateForm(QWidget* form, int captionOffset = ComponentTextOffset, int hintOffset = ComponentTextOffset);
// TranslateForm for every top-level widget that exists now.
void TranslateAllForms(int captionOffset = ComponentTextOffset, int hintOffset = ComponentTextOffset);
// What each form calls at the end of its construction: TranslateForm when the language is English.
void TranslateFormIfEnglish(QWidget* form);
