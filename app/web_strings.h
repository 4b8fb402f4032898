// The printer's web page in words: PAPPL 1.3 shows an attribute's name and
// its keywords as they are unless the system's localization strings name
// them, and shows integer choices as bare numbers.
#pragma once

#include <pappl/pappl.h>

#include <string>

// 'WebStrings()' - The web page's names, as a strings file ("KEY" = "TEXT";):
// each vendor attribute (KEY its name) and each of its keywords
// ("NAME.KEYWORD"), and each page size ("media.PWG-NAME").
std::string WebStrings();

// 'AddWebStrings()' - Give the system's web page these names, in English for
// every language PAPPL has (PAPPL keeps its own text for its own keys).
// 'strings' must live as long as the system.
void AddWebStrings(pappl_system_t *system, const std::string &strings);

// 'FooterHtml()' - The footer of every page, with a script that names the
// choices PAPPL shows as bare numbers: darkness 0 % and speed "Auto" (the
// printer's own settings) and each feed after printing.
std::string FooterHtml();
