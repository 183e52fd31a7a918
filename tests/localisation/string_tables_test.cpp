// The built-in tables, the language choice, text lookup and the filling of dialog texts.
#include "localisation/string_tables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "system/host/host_control.h"
#include "system/host/host_dialog.h"

namespace {

class Localisation : public ::testing::Test {
 protected:
  void SetUp() override { HostSetSystemLanguage(1033); }
  void TearDown() override { HostSetSystemLanguage(1033); }
  static std::u16string Lookup(const LanguageTable* table, int id, int capacity = 512) {
    char16_t buffer[512];
    for (char16_t& c : buffer) c = u'#';
    LookupText(table, id, buffer, capacity);
    return buffer;
  }
};

TEST_F(Localisation, ACodeChoosesItsTableIgnoringCaseAndTheFirstIsTheDefault) {
  EXPECT_EQ(TableForLanguageCode(kBuiltInTables, "it"), kItTable);
  EXPECT_EQ(TableForLanguageCode(kBuiltInTables, "DE"), kDeTable);
  EXPECT_EQ(TableForLanguageCode(kBuiltInTables, "FR"), kUsTable);
  EXPECT_EQ(TableForLanguageCode(kBuiltInTables, nullptr), kUsTable);
}

TEST_F(Localisation, TablesListedInOrderOfChoice) {
  EXPECT_EQ(kBuiltInTables[0], kUsTable);
  EXPECT_EQ(kBuiltInTables[1], kDeTable);
  EXPECT_EQ(kBuiltInTables[2], kItTable);
  EXPECT_EQ(kBuiltInTables[3], nullptr);
}

TEST_F(Localisation, EveryTableHoldsTheSameIdsInTheSameOrder) {
  for (int t = 0; kBuiltInTables[t]; ++t) {
    const LanguageTable* table = kBuiltInTables[t];
    EXPECT_EQ(table[0].id, 0);
    int i = 1;
    for (; table[i].id != 0; ++i) {
      EXPECT_EQ(table[i].id, kUsTable[i].id) << "table " << table[0].text << " entry " << i;
      ASSERT_NE(table[i].text, nullptr);
      for (int j = 1; j < i; ++j) EXPECT_NE(table[j].id, table[i].id) << "duplicate id";
    }
    EXPECT_EQ(i, 21) << table[0].text;
    EXPECT_EQ(table[i].text, nullptr);
  }
}

TEST_F(Localisation, TextsReadAsListedInEveryLanguage) {
  const struct {
    int id;
    const char16_t* us;
    const char16_t* de;
    const char16_t* it;
  } rows[] = {
      {1000, u"Setup", u"Installation", u"Installazione"},
      {99, u"&OK", u"&OK", u"&OK"},
      {2, u"Cancel", u"Abbruch", u"Annulla"},
      {1010, u"Language", u"Sprache", u"Lingua"},
      {1031, u"Destination folder", u"Zielpfad:", u"Destinazione"},
      {1041, u"Put entry to Start Menu", u"Programmgruppe erstellen", u"Aggiungi collegamento nel menu Programmi"},
      {1042, u"Create a Desktop icon", u"Desktop-Symbol anlegen", u"Aggiungi collegamento sul desktop"},
      {1043, u"Create a Quick Launch icon", u"Symbol in der Schnellstartleiste anlegen",
       u"Aggiungi collegamento sulla barra di Avvio veloce"},
      {2001, u"English", u"Englisch", u"English"},
      {2002, u"German", u"Deutsch", u"German"},
      {3001, u"Broken file, please download again.", u"Die Datei ist besch\u00E4digt, bitte nochmal herunterladen!",
       u"File danneggiato, esegui di nuovo il download."},
      {3000, u" has been successfully installed.", u" wurde erfolgreich installiert.",
       u" \u00E8 stato installato correttamente."},
      {136, u"Select &all", u"Alles &markieren", u"Seleziona tutto"},
      {137, u"&Deselect all", u"Markierung &aufheben", u"Deseleziona tutto"},
      {138, u"&Invert selection", u"Markierung &umkehren", u"Inverti selezione"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Lookup(kUsTable, row.id), row.us) << row.id;
    EXPECT_EQ(Lookup(kDeTable, row.id), row.de) << row.id;
    EXPECT_EQ(Lookup(kItTable, row.id), row.it) << row.id;
  }
}

TEST_F(Localisation, MissingIdsAndTablesGiveTheEmptyText) {
  EXPECT_EQ(Lookup(kUsTable, 5), u"");
  EXPECT_EQ(Lookup(kUsTable, 0), u"");
  EXPECT_EQ(Lookup(nullptr, 1000), u"");
  LookupText(kUsTable, 1000, nullptr, 10);  // no buffer: nothing happens
}

TEST_F(Localisation, CapacityKeepsAtMostTwoCharactersLess) {
  const std::u16string full = u"Broken file, please download again.";
  EXPECT_EQ(Lookup(kUsTable, 3001, 31), full.substr(0, 29));
  EXPECT_EQ(Lookup(kUsTable, 3001, 3), u"B");
  EXPECT_EQ(Lookup(kUsTable, 3001, 2), u"");
  char16_t one[2] = {u'#', u'#'};
  LookupText(kUsTable, 3001, one, 1);
  EXPECT_EQ(one[0], 0);
  EXPECT_EQ(one[1], u'#');
}

TEST_F(Localisation, BackslashTBecomesATab) {
  const LanguageTable table[] = {{0, "XX"}, {7, "a\\tb\\\\tc\\"}, {8, "\\t\\t"}, {0, nullptr}};
  EXPECT_EQ(Lookup(table, 7), u"a\tb\\\tc\\");
  EXPECT_EQ(Lookup(table, 8), u"\t\t");
  EXPECT_EQ(Lookup(table, 8, 3), u"\\");  // cut before the escape is seen
}

TEST_F(Localisation, DialogTextsComeFromTheTable) {
  WindowHandle dialog = HostCreateSetupDialog(nullptr);
  ApplyLanguageTable(dialog, kItTable, kSetupDialogTextIds);
  EXPECT_EQ(HostWindowOf(dialog)->text, u"Installazione");
  EXPECT_EQ(HostControl(dialog, 99)->text, u"&OK");
  EXPECT_EQ(HostControl(dialog, 2)->text, u"Annulla");
  EXPECT_EQ(HostControl(dialog, 1031)->text, u"Destinazione");
  EXPECT_EQ(HostControl(dialog, 1041)->text, u"Aggiungi collegamento nel menu Programmi");
  EXPECT_EQ(HostControl(dialog, 1042)->text, u"Aggiungi collegamento sul desktop");
  EXPECT_EQ(HostControl(dialog, 1043)->text, u"Aggiungi collegamento sulla barra di Avvio veloce");
  EXPECT_EQ(HostControl(dialog, 1033)->text, u"...");  // not in the list: untouched

  HostControl(dialog, 1047)->text = u"status";
  const int16_t unknown[] = {1000, 1047, 0};
  ApplyLanguageTable(dialog, kItTable, unknown);
  EXPECT_EQ(HostControl(dialog, 1047)->text, u"");  // no text: the control becomes empty
  HostDestroyDialog(dialog);
}

TEST_F(Localisation, DialogListsNameTheirTexts) {
  const int16_t dialogIds[] = {1000, 99, 2, 1031, 1041, 1042, 1043, 0};
  for (size_t i = 0; i < sizeof dialogIds / sizeof dialogIds[0]; ++i) EXPECT_EQ(kSetupDialogTextIds[i], dialogIds[i]);
  const int16_t menuIds[] = {136, 137, 138, 0};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(kContextMenuTextIds[i], menuIds[i]);
  EXPECT_EQ(kLanguageListColumns[0].textId, 1010);
  EXPECT_EQ(kLanguageListColumns[0].width, -1);
  EXPECT_EQ(kLanguageListColumns[0].format, 0);
  EXPECT_EQ(kLanguageListColumns[1].textId, 0);
}

}  // namespace
