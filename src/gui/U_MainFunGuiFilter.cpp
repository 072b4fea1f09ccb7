#include "gui/U_MainFunGuiFilter.h"

#include <QListWidget>
#include <unicode/translit.h>
#include <unicode/unistr.h>

struct TStationFilter::TPinyin {
    std::unique_ptr<icu::Transliterator> transliterator;
};

TStationFilter::TStationFilter() = default;
TStationFilter::~TStationFilter() = default;

QString TStationFilter::Folded(const QString& text) {
    QString folded;
    folded.reserve(text.size());
    for (QChar c : text) {
        if (c == u' ' || c == u'-') continue;
        folded += c >= u'A' && c <= u'Z' ? QChar(c.unicode() + (u'a' - u'A')) : c;
    }
    return folded;
}

bool TStationFilter::Matches(const QString& name, const QString& foldedQuery) {
    if (foldedQuery.isEmpty()) return true;
    const TKeys& k = Keys(name);
    return k.Name.contains(foldedQuery) || k.Initials.contains(foldedQuery) ||
           k.Pinyin.contains(foldedQuery);
}

const TStationFilter::TKeys& TStationFilter::Keys(const QString& name) {
    auto found = keys.constFind(name);
    if (found != keys.constEnd()) return *found;
    TKeys k;
    k.Name = Folded(name);
    for (char32_t c : k.Name.toUcs4()) {
        const QString syllable = QChar::script(c) == QChar::Script_Han ? Syllable(c) : QString();
        const QString own = QString::fromUcs4(&c, 1);
        k.Pinyin += syllable.isEmpty() ? own : syllable;
        k.Initials += syllable.isEmpty() ? own : syllable.left(1);
    }
    return *keys.insert(name, k);
}

QString TStationFilter::Syllable(char32_t character) {
    auto found = syllables.constFind(character);
    if (found != syllables.constEnd()) return *found;
    if (!triedPinyin) {
        triedPinyin = true;
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> transliterator(icu::Transliterator::createInstance(
            "Han-Latin; Latin-ASCII; Lower", UTRANS_FORWARD, status));
        if (U_SUCCESS(status) && transliterator)
            pinyin.reset(new TPinyin{std::move(transliterator)});
    }
    QString syllable;
    if (pinyin) {
        icu::UnicodeString text = icu::UnicodeString(UChar32(character));
        pinyin->transliterator->transliterate(text);
        std::string utf8;
        text.toUTF8String(utf8);
        // Only a reading in letters counts: an unknown character comes back as itself.
        for (char c : utf8)
            if (c >= 'a' && c <= 'z') syllable += QChar(c);
        if (syllable.size() != qsizetype(utf8.size())) syllable.clear();
    }
    syllables.insert(character, syllable);
    return syllable;
}

void FilterStationList(QListWidget* names, QListWidget* offsets, const QString& text,
                       TStationFilter& filter) {
    const QString query = TStationFilter::Folded(text);
    for (int i = 0; i < names->count(); ++i) {
        const bool hidden = !filter.Matches(names->item(i)->text(), query);
        if (names->isRowHidden(i) != hidden) names->setRowHidden(i, hidden);
        if (i < offsets->count() && offsets->isRowHidden(i) != hidden)
            offsets->setRowHidden(i, hidden);
    }
}
