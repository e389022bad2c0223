#include "TextFieldInputFilter.h"

TextFieldInputFilter::TextFieldInputFilter(std::optional<QString> charset, int maximumLength,
                                           QObject* parent)
    : QValidator(parent), mCharset(std::move(charset)), mMaximumLength(maximumLength) {}

TextFieldInputFilter* TextFieldInputFilter::inputFilterWithChars(const QString& chars,
                                                                 int maximumLength,
                                                                 QObject* parent) {
    return new TextFieldInputFilter(chars, maximumLength, parent);
}

TextFieldInputFilter* TextFieldInputFilter::inputFilterWithCharFrom(char16_t first, char16_t last,
                                                                    int maximumLength,
                                                                    QObject* parent) {
    if (last < first) return new TextFieldInputFilter(std::nullopt, maximumLength, parent);
    QString chars;
    for (char32_t c = first; c <= last; ++c)
        chars += QChar(char16_t(c));
    return new TextFieldInputFilter(chars, maximumLength, parent);
}

bool TextFieldInputFilter::isPartialStringValid(const QString& text) const {
    mLastRefused = QChar();
    if (mMaximumLength > 0 && text.size() > mMaximumLength) return false;
    if (!mCharset) return true;
    for (QChar c : text)
        if (!mCharset->contains(c)) {
            mLastRefused = c;
            return false;
        }
    return true;
}

QValidator::State TextFieldInputFilter::validate(QString& text, int&) const {
    return isPartialStringValid(text) ? Acceptable : Invalid;
}
