#pragma once

#include <QString>
#include <QValidator>

#include <optional>

// Input filter of a text field: a text is accepted as a whole when it is no longer than the
// maximum length and every character is in the set. Checked on the text after each edit, so a
// pasted text is taken or refused as a whole and a refused edit leaves the field as it was.
class TextFieldInputFilter : public QValidator {
    Q_OBJECT
public:
    // No character set: every character is allowed.
    explicit TextFieldInputFilter(std::optional<QString> charset, int maximumLength = 0,
                                  QObject* parent = nullptr);

    // A filter allowing the characters of chars.
    static TextFieldInputFilter* inputFilterWithChars(const QString& chars, int maximumLength,
                                                      QObject* parent = nullptr);
    // A filter allowing every character from first to last, both included; with last below
    // first, every character.
    static TextFieldInputFilter* inputFilterWithCharFrom(char16_t first, char16_t last,
                                                         int maximumLength,
                                                         QObject* parent = nullptr);

    const std::optional<QString>& charset() const { return mCharset; }
    // The most characters allowed; 0 or less: no limit.
    int maximumLength() const { return mMaximumLength; }
    void setMaximumLength(int length) { mMaximumLength = length; }

    bool isPartialStringValid(const QString& text) const;
    State validate(QString& text, int& position) const override;

    // Why the last text was refused, for a hint beside the field: the first character outside
    // the set, or (null character) a text beyond the maximum length.
    QChar lastRefusedCharacter() const { return mLastRefused; }

private:
    std::optional<QString> mCharset;
    int mMaximumLength;
    mutable QChar mLastRefused;
};
