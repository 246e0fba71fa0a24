// Reading the rule tables (used by SourceInit).
#pragma once
#include "source/reader.h"
#include "source/records.h"

#include "runtime.h"

struct MonsterTexts {
  String abilities;
};

namespace RUNTIME_NS {

// Texts kept until the references are resolved.
struct TableTexts {
  CharTexts* classes = nullptr;
  RaceTexts* races = nullptr;
  FeatTexts* feats = nullptr;
  SkillTexts* skills = nullptr;
  ItemTexts* effects = nullptr;
  ItemTexts* specifics = nullptr;
  MonsterTexts* monsters = nullptr;
};
extern TableTexts gTexts;

int ReadMinorTables();
int ReadClassTables();
int ReadItemTables();
void FreeReadingState();

// Every compiled script of a table read by the last SourceInit, row by row in the order
// of its columns, with the row as the place of a message.
void ForEachScript(schema::Table table, void (*visit)(Owned& script));

}  // namespace RUNTIME_NS
