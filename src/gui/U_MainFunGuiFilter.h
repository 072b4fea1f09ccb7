// Finding a station among many by typing part of its name: ASCII letters
// without case, spaces and hyphens ignored, and Chinese names also by their
// pinyin, whole or by initials ("hnws" for 湖南卫视). The pinyin comes from
// ICU's Han-Latin transliterator, one character at a time: each character has
// its most common reading, so a polyphone in a name may take another reading
// than the one the name is spoken with (长沙 reads "zhang sha").
#pragma once

#include <QHash>
#include <QString>
#include <memory>

class QListWidget;

class TStationFilter {
public:
    TStationFilter();
    ~TStationFilter();

    // What is compared: ASCII letters in lower case, without spaces and hyphens.
    static QString Folded(const QString& text);
    // Whether a station name holds a folded query, as written, as pinyin or as
    // the initials of its pinyin. Every name holds the empty query.
    bool Matches(const QString& name, const QString& foldedQuery);

private:
    struct TKeys {
        QString Name, Pinyin, Initials;
    };
    const TKeys& Keys(const QString& name);
    // The toneless, lower-case pinyin of one Han character; empty where there is none.
    QString Syllable(char32_t character);

    struct TPinyin;                  // ICU's transliterator, kept out of every other unit
    std::unique_ptr<TPinyin> pinyin; // none where ICU lacks the rules
    bool triedPinyin = false;
    QHash<QString, TKeys> keys;         // by name: a list is filtered on every keystroke
    QHash<char32_t, QString> syllables; // few characters recur in many names
};

// Hides the entries of names, and those of offsets with them, whose station
// does not hold text; every entry keeps its row, and so its number.
void FilterStationList(QListWidget* names, QListWidget* offsets, const QString& text,
                       TStationFilter& filter);
