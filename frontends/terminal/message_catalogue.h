// SPDX-License-Identifier: GPL-3.0-or-later
// The language of the front end's own texts: the reasons the platform gives
// on the bottom line (the network file's and the real network's refusals),
// the start-up messages and the notices. They are written in English where
// they are made; under a Japanese locale, or none, the catalogue gives them
// in Japanese, so that a screen of the Japanese program shows one language.
// The program's own message boxes are never translated.
#ifndef VELMORA_FRONTENDS_TERMINAL_MESSAGE_CATALOGUE_H
#define VELMORA_FRONTENDS_TERMINAL_MESSAGE_CATALOGUE_H

#include <optional>
#include <string>

namespace terminal {

enum class Language { kJapanese, kEnglish };

// From the locale that names the messages' language (LC_ALL, LC_MESSAGES,
// LANG, the first set): Japanese for ja..., for C and POSIX and when none is
// set; English for any other.
Language LanguageOfLocale(const char *lc_all, const char *lc_messages, const char *lang);
Language LanguageFromEnvironment();

// The language Localize gives; Japanese until set.
void SetLanguage(Language language);
Language CurrentLanguage();

// An English text (UTF-8) in the current language; as it is when the
// catalogue does not know it.
std::string Localize(const std::string &english);
// The Japanese of an English text, if the catalogue knows it and every text
// it names within it (a reason inside a reason).
std::optional<std::string> ToJapanese(const std::string &english);

}  // namespace terminal

#endif
