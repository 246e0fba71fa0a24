// The German character sheet and the export record stream other tools read, plus the
// summary rows of screen 0 and the spell list; figures come from shell/figures.h.
#include "shell/sheet.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "generator/alignment.h"
#include "generator/combat.h"
#include "generator/feats.h"
#include "generator/skills.h"
#include "generator/spells.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/console.h"
#include "platform/keys.h"
#include "random/repro.h"
#include "shell/entry.h"
#include "shell/figures.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

ScreenBuffer** gScreens = nullptr;
int gScreenCount = 0;

// A name cell of the left column with its figure: a long name is cut so that the figure
// stays within the column's 38 characters (the head row names it in full).
std::string FittedRow(const char* label, const std::string& name, size_t width, const std::string& figure) {
  size_t room = 38 - CodePoints(label) - CodePoints(figure);
  return label + Widened(Cut(name, room), width) + figure;
}

const char* kTop = "┌";
const char* kTopRight = "┐";
const char* kHorizontal = "─";
const char* kVertical = "│";
const char* kTeeRight = "├";
const char* kTeeLeft = "┤";
const char* kTeeDown = "┬";
const char* kTeeUp = "┴";
const char* kCross = "┼";
const char* kBottomLeft = "└";
const char* kBottomRight = "┘";

std::string Repeat(const char* s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// The head rows' colours: a word ending in ":" is a label, any other word a value;
// blanks and frames stay grey.
std::vector<int> HeadColours(const std::string& line) {
  std::vector<int> colours(line.size(), kAttrNormal);
  size_t i = 0;
  while (i < line.size()) {
    auto separator = [&](size_t at) {
      return line[at] == ' ' || line[at] == '\n' || (unsigned char)line[at] == 0xE2;  // or a frame character
    };
    if (separator(i)) {
      i += (unsigned char)line[i] == 0xE2 ? 3 : 1;
      continue;
    }
    size_t end = i;
    while (end < line.size() && !separator(end)) ++end;
    int colour = line[end - 1] == ':' ? kAttrRed : kAttrGreen;
    std::fill(colours.begin() + (long)i, colours.begin() + (long)end, colour);
    i = end;
  }
  return colours;
}

// Writes sheet lines to a screen, or to the consistency text in silent mode.
struct SheetOut {
  ScreenBuffer* screen;
  void Line(const std::string& text, bool head = false) {
    std::string line = text + "\n";
    if (gProcess.silent) {
      TextBuffer* own = gProcess.consistencyText;
      if (!own) return;
      // The reference runtime's text at the same place: the first line that differs is
      // shown at once (the whole texts are compared when the runtime ends).
      const TextBuffer* reference = gProcess.consistencyReference;
      if (reference && !gProcess.lineInconsistencyShown &&
          (own->length + line.size() > reference->length ||
           memcmp(reference->data + own->length, line.data(), line.size()) != 0)) {
        gProcess.lineInconsistencyShown = true;
        ConsolePrint("Inconsistence Found in Line:\n%s\n", text.c_str());
      }
      TextAppend(own, line.data(), line.size());
      return;
    }
    if (!screen) return;
    if (!head) {
      ConsoleSetAttribute(screen, kAttrNormal);
      ConsoleWrite(screen, line.data(), line.size());
      return;
    }
    std::vector<int> colours = HeadColours(line);
    for (size_t i = 0, end; i < line.size(); i = end) {
      for (end = i + 1; end < line.size() && colours[end] == colours[i];) ++end;
      ConsoleSetAttribute(screen, colours[i]);
      ConsoleWrite(screen, line.data() + i, end - i);
    }
    ConsoleSetAttribute(screen, kAttrNormal);
  }
  // A row of the three columns (0-39, 39-79, 79-119).
  void Row(const std::string& a, const std::string& b, const std::string& c, bool head = false) {
    Line(std::string(kVertical) + PadRight(a, 38) + kVertical + PadRight(b, 39) + kVertical + PadRight(c, 39) +
             kVertical,
         head);
  }
  void Wide(const std::string& a) { Line(std::string(kVertical) + PadRight(a, 118) + kVertical); }
  void Rule(const char* left, const char* middle1, const char* middle2, const char* right) {
    Line(std::string(left) + Repeat(kHorizontal, 38) + middle1 + Repeat(kHorizontal, 39) + middle2 +
         Repeat(kHorizontal, 39) + right);
  }
  void WideRule(const char* left, const char* right) { Line(std::string(left) + Repeat(kHorizontal, 118) + right); }
};

void Sheet(Char* c, SheetOut& out, int quiet, bool nested);

// The timing line (unless quiet), the frame's top and the head rows: name and template,
// rule set, challenge rating.
void SheetHead(Char* c, SheetOut& out, int quiet, bool nested) {
  if (!quiet)
    out.Line(Format("Character Creation took %lld (%lld) microseconds, Concurrent Allocs: %d, Current Allocs: %d",
                    (long long)c->creationTime, (long long)c->classPartTime, TrackerHighestCount(), TrackerCount()));
  if (nested)
    out.Rule(kTeeRight, kTeeDown, kTeeDown, kTeeLeft);
  else
    out.Rule(kTop, kTeeDown, kTeeDown, kTopRight);
  std::string head = CreatureHead(c);
  if (c->templateIndex > 0) head += std::string(" - ") + TemplateName(c);
  std::string cr =
      c->mixed ? Format("HG:    %d (%d/%d)", c->cr + c->crShare, c->cr, c->crShare) : Format("HG:    %d", c->cr);
  // A head longer than its cell goes on in the cell below.
  std::vector<std::string> heads = Wrap(head, 37);
  for (size_t i = 0; i < heads.size(); ++i)
    out.Row(" " + heads[i], i ? "" : std::string(" Regeln: ") + RuleSetName(c->rules), i ? "" : " " + cr, true);
  out.Rule(kTeeRight, kCross, kCross, kTeeLeft);
}

// The left column: classes and levels, a monster's hit dice, specialisation, domains.
std::vector<std::string> ClassColumn(Char* c) {
  std::vector<std::string> left;
  for (int i = 0; i < c->classCount && i < kMaxClassSlots; ++i) {
    int cls = c->classes[i];
    left.push_back(FittedRow(" Klasse: ", ClassName(cls), 15, Format(" Level: %2d", c->classLevels[i])));
  }
  if (c->kind == 1) {
    left.push_back(FittedRow(" Monster:", MonsterName(c->monster), 18, Format(" TW: %2d", c->Level)));
  }
  if (c->specialist && c->specialistSchool >= 0 && c->specialistSchool < gSource.schoolCount) {
    left.push_back(Format(" Spezialisiert: %s", SchoolName(c->specialistSchool)));
    std::string forbidden;
    for (int k = 0; k < gSource.schoolCount && k < kMaxSchools; ++k)
      if (c->forbidden[k]) forbidden += std::string(forbidden.empty() ? "" : ", ") + SchoolName(k);
    if (!forbidden.empty()) left.push_back(" Verboten: " + forbidden);
  } else {
    left.push_back(" Nicht spezialisiert");
  }
  std::string domains;
  for (int d : c->domains)
    if (d >= 0 && d < gSource.domainCount) domains += std::string(domains.empty() ? "" : ", ") + DomainName(d);
  if (!domains.empty()) left.push_back(" Domänen: " + domains);
  return left;
}

// The middle column: ability scores with their modifiers, and the alignment.
std::vector<std::string> AbilityColumn(Char* c) {
  std::vector<std::string> middle;
  for (int a = 0; a < kAttributes; ++a) {
    std::string label = gSource.attributeNames ? Cut(gSource.attributeNames[a].name.c_str(), 2) : "";
    middle.push_back(Format(" %s: %2d (%2d)", label.c_str(), Abilities(c)[a], Modifiers(c)[a]));
  }
  if (c->alignment >= 0) middle.push_back(std::string(" Gesinnung: ") + AlignmentName(c->alignment));
  return middle;
}

// The right column: hit points, attacks, spell resistance, speed, initiative.
std::vector<std::string> CombatColumn(Char* c) {
  std::vector<std::string> right;
  right.push_back(Format(" Trefferpunkte: %d", c->shownHitPoints));
  right.push_back(Format(" Grundangriffsbonus: %d (%d)", c->GA + c->epicAttack, c->GA));
  right.push_back(Format(" Zauberresistenz: %d", c->MR));
  right.push_back(Format(" Bewegung: %g", (double)c->Range));
  right.push_back(Format(" Angriffe: %d", c->Attacks));
  right.push_back(Format(" Gelegenheitsangriffe: %d", c->AttacksOpportunity));
  right.push_back(Format(" Rüstungsmalus: %d", ArmorCheckPenaltyShown(c)));
  right.push_back(Format(" Initiative: %d", c->Init + c->MGE));
  if (c->Unarmed1 > 0)
    right.push_back(Format(" Waffenlos: %d Angriffe, %dW%d", c->Attacks + c->MonkAttacks, c->Unarmed1, c->Unarmed2));
  return right;
}

// The three columns side by side, as many rows as the longest.
void SheetColumns(Char* c, SheetOut& out) {
  std::vector<std::string> left = ClassColumn(c);
  std::vector<std::string> middle = AbilityColumn(c);
  std::vector<std::string> right = CombatColumn(c);
  size_t rows = std::max(left.size(), std::max(middle.size(), right.size()));
  for (size_t i = 0; i < rows; ++i)
    out.Row(i < left.size() ? left[i] : "", i < middle.size() ? middle[i] : "", i < right.size() ? right[i] : "", true);
  out.Rule(kTeeRight, kTeeUp, kTeeUp, kTeeLeft);
}

// Cells of a breakdown table, 17 characters each, right-aligned.
std::string Cells(std::initializer_list<std::string> parts) {
  std::string row;
  for (const std::string& p : parts) row += PadLeft(p, 17);
  return row;
}

std::string BreakdownCells(const Breakdown& b) {
  return Cells({Format("%d", b.base), Format("%d", b.ability), Format("%d", b.third), Format("%d", b.other)});
}

// Attack, save and armour tables: totals and their parts.
void SheetCombatTables(Char* c, SheetOut& out) {
  out.Wide(" " + PadRight("Angriffsbonus", 16) +
           Cells({" = Grundbonus", " + Attributsmod.", " + Größenmod.", " + Sonst. Mod."}));
  out.Wide(" " + PadRight(Format("Nahkampf  %4d", MeleeAttack(c).Total()), 16) + BreakdownCells(MeleeAttack(c)));
  out.Wide(" " + PadRight(Format("Fernkampf %4d", RangedAttack(c).Total()), 16) + BreakdownCells(RangedAttack(c)));
  out.Wide(" " + PadRight("Rettungswurf", 16) +
           Cells({" = Grundbonus", " + Attributsmod.", " + Magiemod.", " + Sonst. Mod."}));
  const char* saveNames[3] = {"Reflex", "Wille", "Zähigkeit"};
  for (int i = 0; i < 3; ++i)
    out.Wide(std::string(" ").append(PadRight(PadRight(saveNames[i], 10) + Format(" %4d", Save(c, i).Total()), 16)) +
             BreakdownCells(Save(c, i)));
  ArmorClass ac = ArmorClassOf(c);
  out.Wide(Format(" RK %3d", ac.total) + " = 10" +
           Cells({" + Rüstungsbonus", " + Schildbonus", " + Geschick.mod.", " + Größenmod.", " + Sonst. Mod."}));
  out.Wide(std::string(12, ' ') + Cells({Format("%d", ac.armor), Format("%d", ac.shield), Format("%d", ac.dexterity),
                                         Format("%d", ac.size), Format("%d", ac.other)}));
  out.WideRule(kTeeRight, kTeeLeft);
}

// Weapon, armour and shield proficiencies, listed on a line of their own.
bool ProficiencyFeat(int feat) {
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k)
      if (gSource.proficiencyFeats[i][k] == feat) return true;
  return gSource.feats[feat].name == "Turmschilde";
}

// The feat list: its count, the feats, then the proficiencies.
void SheetFeats(Char* c, SheetOut& out) {
  // Feats whose rule became a special-ability line are not listed again; feats whose
  // script folded them into the numbers are, so the game master sees where they come
  // from. A feat taken for several weapons or schools is one entry with its parameters.
  std::vector<std::pair<int, std::string>> shown;
  for (int f = 0; f < c->featCount; ++f) {
    int feat = c->feats[f];
    // A monster's feats are its stat block's: their scripts and texts never ran.
    if (feat < 0 || feat >= gSource.featCount || (c->kind == 0 && gSource.feats[feat].text.length > 0)) continue;
    std::string parameter = FeatParameterName(c, f);
    auto at = std::find_if(shown.begin(), shown.end(), [&](const auto& e) { return e.first == feat; });
    if (at == shown.end()) {
      shown.emplace_back(feat, parameter);
    } else if (!parameter.empty()) {
      if (!at->second.empty()) at->second += ", ";
      at->second += parameter;
    }
  }
  std::string featLine, proficiencyLine;
  for (const auto& [feat, parameters] : shown) {
    std::string& line = ProficiencyFeat(feat) ? proficiencyLine : featLine;
    if (!line.empty()) line += ", ";
    line += FeatName(feat);
    if (!parameters.empty()) line.append(" (").append(parameters).append(")");
  }
  if (!proficiencyLine.empty()) featLine += (featLine.empty() ? "Geübt mit: " : "\nGeübt mit: ") + proficiencyLine;
  // The count is every feat's, as in the export; those named among the special abilities too.
  out.Wide(Format(" Talente: %d", c->featCount));
  for (const std::string& row : Wrap(featLine)) out.Wide("   " + row);
}

// Skill count and points, then each skill's total and its parts.
void SheetSkills(Char* c, SheetOut& out) {
  out.Wide(Format(" Fertigkeiten: %2d   Fertigkeitspunkte: %3d", c->skillCount, c->skillPoints));
  for (int s = 0; s < c->skillCount; ++s) {
    const CharSkill& k = c->skills[s];
    out.Wide(PadRight("   " + SkillLabel(c, s), 40) + Format(" %3d =%2d.%d +%2d +%2d -%2d", k.total, k.ranks,
                                                             k.halfRank ? 5 : 0, k.ability, k.bonus,
                                                             k.penalty < 0 ? -k.penalty : k.penalty));
  }
}

// A monster's natural attacks, one wrapped row per category.
void SheetNaturalAttacks(Char* c, SheetOut& out) {
  if (c->kind != 1 || c->attackCount <= 0) return;
  out.Wide(" Natürliche Angriffe:");
  for (int category = 0; category < 4; ++category) {
    std::string row;
    for (int i = 0; i < c->attackCount && i < kNaturalAttacks; ++i) {
      const CharAttack& a = c->naturals[i];
      if (a.category != category) continue;
      if (!row.empty()) row += ", ";
      row += Format("%s %s (%s)", AttackName(a).c_str(), AttackBonuses(a, "/", "%+d").c_str(), AttackDamage(a).c_str());
    }
    if (!row.empty())
      for (const std::string& line : Wrap(std::string(kAttackCategories[category]) + row)) out.Wide("   " + line);
  }
}

// Every item with its figures, value and effects, then the wealth line.
void SheetEquipment(Char* c, SheetOut& out) {
  out.Wide(" Ausrüstung:");
  for (int i = 0; i < c->itemCount; ++i) {
    const CharItem& it = c->items[i];
    // Treasure is starred; the mark names the item's material or magic.
    std::string line = Format("  %c%c ", i >= c->treasureIndex ? '*' : ' ', MaterialMark(it)) + ItemLabel(it);
    // Figures that would not fit beside the name stand on a row of their own below it.
    std::string figures = ItemFigures(c, it);
    bool fits = CodePoints(line + figures) <= 90;
    out.Wide(PadRight(fits ? line + figures : line, 90) + Format("%10d GM", it.value + it.price));
    if (!fits) out.Wide("      " + figures);
    // What each effect does, one wrapped row per effect under the item.
    for (int k = 0; k < it.effectCount && k < kItemEffects; ++k) {
      int e = it.effects[k];
      const char* detail = EffectText(it, k);
      if (e < 0 || e >= gSource.effectCount || !detail[0]) continue;
      for (const std::string& row : Wrap(std::string(EffectName(e)) + ": " + detail)) out.Wide("       " + row);
    }
  }
  out.Wide(Format(" Wert: %8d, davon Geld: %8d, Endwert bei Verkauf: %8d, Treasure: %d (%d Geld)", c->wealth, c->money,
                  c->saleValue, c->treasureBudget, c->treasureMoney));
}

// Names of the chosen spells or powers, comma-separated.
std::string ListedNames(const std::vector<int>& chosen, const char* (*name)(int)) {
  std::string names;
  for (int x : chosen) names += (names.empty() ? "" : ", ") + std::string(name(x));
  return names;
}

// A psionic slot: its power points and the powers of each level it draws.
void SheetPowerSlot(Char* c, int slot, int cls, SheetOut& out) {
  out.Wide(Format("   %s (Kraftpunkte %d):", ClassName(cls), c->PowerPoints));
  for (int level = 0; level < 10; ++level) {
    if (c->spellsToDraw[slot][level] <= 0) continue;
    std::string names = ListedNames(ChosenAt(c, slot, level, gSource.powerCount), PowerName);
    for (const std::string& line : Wrap(Format("Grad %d (%d bekannt): ", level, c->spellsKnown[slot][level]) + names))
      out.Wide("     " + line);
  }
}

// A spellcasting slot: its caster level, the spells of each level ("-" for none), and
// the domain spells of a class with domains.
void SheetSpellSlot(Char* c, int slot, int cls, const CharSource& k, SheetOut& out) {
  out.Wide(Format("   %s (Zauberstufe %d):", ClassName(cls), c->casterLevel[slot]));
  for (int level = 0; level < 10; ++level) {
    if (c->spellsToDraw[slot][level] < 0) continue;
    std::string names = ListedNames(ChosenAt(c, slot, level, gSource.spellCount), SpellName);
    for (const std::string& line : Wrap(SpellLevelHead(c, slot, level) + (names.empty() ? "-" : names)))
      out.Wide("     " + line);
  }
  if (k.domains > 0) {
    std::string names = DomainSpellList(c);
    if (!names.empty())
      for (const std::string& line : Wrap("Domänenzauber: " + names)) out.Wide("     " + line);
  }
}

// Spells and powers of every class slot that casts anything.
void SheetSpells(Char* c, SheetOut& out) {
  out.Wide(" Zauber / Powers:");
  for (int slot = 0; slot < c->classCount && slot < kMaxClassSlots; ++slot) {
    int cls = c->classes[slot];
    if (cls < 0 || cls >= gSource.classCount) continue;
    const CharSource& k = gSource.classes[cls];
    if (!CastsAnything(c, slot)) continue;
    if (k.powerType != 0)
      SheetPowerSlot(c, slot, cls, out);
    else
      SheetSpellSlot(c, slot, cls, k, out);
  }
}

// The notes: one ability per line; a long one wraps, an empty line stays as a gap.
void SheetNotes(Char* c, SheetOut& out) {
  out.Wide(" Anmerkungen:");
  for (const std::string& note : NoteLines(c)) {
    if (note.empty()) out.Wide("   ");
    size_t indent = std::min(note.find_first_not_of(' '), note.size());
    for (const std::string& line : Wrap(note.substr(indent))) out.Wide("   " + note.substr(0, indent) + line);
  }
}

// One companion's whole sheet under its title, nested in the master's frame.
void SheetCompanion(const std::string& title, Char* k, SheetOut& out) {
  if (!k) return;
  out.WideRule(kTeeRight, kTeeLeft);
  out.Wide(" " + title);
  Sheet(k, out, 1, true);
}

void SheetCompanions(Char* c, SheetOut& out) {
  SheetCompanion("Vertrauter:", c->familiarChar, out);
  SheetCompanion("Paladin Mount:", c->mountChar, out);
  SheetCompanion("Fiendish Servant:", c->servantChar, out);
  for (int i = 0; i < c->companionCount && i < kMaxCompanions; ++i)
    SheetCompanion(Format("Tiergefährte (%d / %d):", i + 1, c->companionCount), c->companionChars[i], out);
}

// The sheet; a companion's sheet is nested into its master's frame.
void Sheet(Char* c, SheetOut& out, int quiet, bool nested = false) {
  SheetHead(c, out, quiet, nested);
  SheetColumns(c, out);
  SheetCombatTables(c, out);
  SheetFeats(c, out);
  SheetSkills(c, out);
  SheetNaturalAttacks(c, out);
  SheetEquipment(c, out);
  SheetSpells(c, out);
  SheetNotes(c, out);
  SheetCompanions(c, out);
  if (!nested) out.WideRule(kBottomLeft, kBottomRight);
}

// A shield the creature carries but does not fight with: in the treasure or in no hand.
bool UnusedShield(const CharItem& it) { return it.equipType == 2 && (it.treasure || (!it.primary && !it.secondary)); }

const char* TextOf(const TextBuffer* t) { return t && t->data && t->length ? t->data : ""; }

void Export(Char* c, FILE* f);

// Rule set, body (monster type or race), template, alignment and challenge.
void ExportHead(Char* c, FILE* f) {
  fprintf(f, "STARTCHARACTER\n");
  // Only SRD 3.5 creatures say so: an export without the line (every older one too) was
  // built by the system's own rules.
  if (c->rules == kRulesSrd35) fprintf(f, "RULES=SRD35\n");
  if (c->kind == 1 && c->monster >= 0 && c->monster < gSource.monsterCount) {
    const MonsterSource& m = gSource.monsters[c->monster];
    int type = c->creatureType >= 0 && c->creatureType < gSource.monsterTypeCount ? c->creatureType : m.type;
    fprintf(f, "TYPE=%s\nMONSTER=%s\nSIZE=%s\n", gSource.monsterTypes[type].name.c_str(), m.name.c_str(),
            SizeKey(MonsterSize(c)));
  } else {
    fprintf(f, "TYPE=Humanoid\nRACE=%s\nSIZE=%s\n", RaceKey(c), SizeKey(RaceSize(c)));
  }
  fprintf(f, "TEMPLATE=%s\n", TemplateKey(c));
  if (c->alignment >= 0) fprintf(f, "ALIGNMENT=%s\n", AlignmentCode(c->alignment));
  fprintf(f, "TW=%d\nCR=%d,%d,%d\nSPELLFAILURE=%d\n", c->Level, c->cr + c->crShare, c->cr, c->crShare,
          c->shownSpellFailure);
}

// Class slots (spell-character slots first), school specialisation and domains.
void ExportClasses(Char* c, FILE* f) {
  int spellChar = SpellCharSlots(c);
  for (int i = 0; i < c->classCount && i < kMaxClassSlots; ++i) {
    int cls = c->classes[i];
    const char* name = i < spellChar                          ? "Spellchar"
                       : cls >= 0 && cls < gSource.classCount ? gSource.classes[cls].name.c_str()
                                                              : "";
    fprintf(f, "CLASS=%d,%s,%d,%d,%d\n", i, name, c->classLevels[i], c->preEpicLevels[i], c->casterLevel[i]);
  }
  if (c->specialist && c->specialistSchool >= 0 && c->specialistSchool < gSource.schoolCount)
    fprintf(f, "SPECIALIZED=%s\n", gSource.schools[c->specialistSchool].name.c_str());
  int forbidden = 0;
  for (int k = 0; k < gSource.schoolCount && k < kMaxSchools; ++k)
    if (c->forbidden[k]) fprintf(f, "FORBIDDEN=%d,%s\n", forbidden++, gSource.schools[k].name.c_str());
  int domain = 0;
  for (int d : c->domains)
    if (d >= 0 && d < gSource.domainCount) fprintf(f, "DOMAIN=%d,%s\n", domain++, gSource.domains[d].name.c_str());
}

// Ability scores, then the combat figures: hit points, attacks, speed, saves, armour class.
void ExportCombat(Char* c, FILE* f) {
  for (int a = 0; a < kAttributes; ++a) fprintf(f, "ATTRIBUTE=%d,%d,%d\n", a, Abilities(c)[a], Modifiers(c)[a]);
  fprintf(f, "TP=%d\n", c->shownHitPoints);
  fprintf(f, "GA=%d,%d,%d\n", c->GA + c->epicAttack, c->GA, c->sizeMod);
  fprintf(f, "BREAKSR=%d\n", c->BeatMR);
  fprintf(f, "SPEED=%f\n", (double)c->Range);
  fprintf(f, "SR=%d\n", c->MR);
  fprintf(f, "ATTACKS=%d,%d\n", c->Attacks, c->Attacks2);
  fprintf(f, "ATTACKSOPP=%d\n", c->AttacksOpportunity);
  fprintf(f, "ARMORMALUS=%d\n", ArmorCheckPenaltyShown(c));
  fprintf(f, "INITIATIVE=%d,%d,%d\n", c->Init + c->MGE, c->MGE, c->Init);
  if (c->Unarmed1 > 0) {
    fprintf(f, "ATTACKSMONK=%d\n", c->Attacks + c->MonkAttacks);
    fprintf(f, "MONKDAMAGE=%d,%d\n", c->Unarmed1, c->Unarmed2);
  }
  Breakdown melee = MeleeAttack(c), ranged = RangedAttack(c);
  fprintf(f, "GAMELEE=%d,%d,%d,%d\n", melee.Total(), melee.ability, melee.third, melee.other);
  fprintf(f, "GARANGE=%d,%d,%d,%d\n", ranged.Total(), ranged.ability, ranged.third, ranged.other);
  const char* saveKeys[3] = {"RWREF", "RWWIL", "RWFORT"};
  for (int i = 0; i < 3; ++i) {
    Breakdown b = Save(c, i);
    fprintf(f, "%s=%d,%d,%d,%d,%d\n", saveKeys[i], b.Total(), b.base, b.ability, b.third, b.other);
  }
  ArmorClass ac = ArmorClassOf(c);
  fprintf(f, "RK=%d,%d,%d,%d,%d,%d\n", ac.total, ac.armor, ac.shield, ac.dexterity, ac.size, ac.other);
}

// Every feat with its parameter, then every skill with the parts of its total.
void ExportFeatsAndSkills(Char* c, FILE* f) {
  fprintf(f, "FEATCOUNT=%d\n", c->featCount);
  for (int i = 0; i < c->featCount; ++i) {
    int feat = c->feats[i];
    const char* parameter = FeatParameterText(c, i);
    fprintf(f, "FEAT=%d,%d,%s,%s%s\n", i, c->featListed[i],
            feat >= 0 && feat < gSource.featCount ? gSource.feats[feat].name.c_str() : "", *parameter ? ":" : "",
            parameter);
  }
  fprintf(f, "SKILLS=%d\nSKILLPOINTS=%d\n", c->skillCount, c->skillPoints);
  for (int i = 0; i < c->skillCount; ++i) {
    const CharSkill& k = c->skills[i];
    fprintf(f, "SKILL=%d,%s,%d,%d.%d,%d,%d,%d\n", i,
            k.skill >= 0 && k.skill < gSource.skillCount ? gSource.skills[k.skill].name.c_str() : "", k.total, k.ranks,
            k.halfRank ? 5 : 0, k.ability, k.bonus, k.penalty < 0 ? -k.penalty : k.penalty);
  }
}

// The fighting styles and a monster's natural attacks, by category; an attack of no known
// category is an error in the tables.
void ExportAttacks(Char* c, FILE* f) {
  fprintf(f, "ATTACKTYPES=%d,%d\n", c->fightingStyle, c->fightingStyle2);
  if (c->kind != 1) return;
  for (int i = 0; i < c->attackCount && i < kNaturalAttacks; ++i)
    if (c->naturals[i].category < 0 || c->naturals[i].category > 3) {
      ConsolePrint("Unbekannter Angriff\n");
      QuitOnError(true);
    }
  for (int category = 0; category < 4; ++category)
    for (int i = 0; i < c->attackCount && i < kNaturalAttacks; ++i) {
      const CharAttack& a = c->naturals[i];
      if (a.category != category) continue;
      fprintf(f, "MONSTERATTACK=%d,%s,\"%s\",%d,%d,%d", i, kAttackCategories[category], a.name, a.damage[0],
              a.damage[1], a.damage[2]);
      if (a.number > 10 && a.step == 0)
        fprintf(f, ",%s\n", Format("%d * %d", a.number, a.attack).c_str());
      else
        fprintf(f, "%s", AttackBonuses(a, ":", ",%d").c_str());
      fprintf(f, "\n");
    }
}

// A weapon's figures: dice, threat, enhancement, its base weapon, second-hand attack,
// bow strength and the sheet's attack bonuses and damage.
void ExportWeapon(Char* c, const CharItem& it, FILE* f) {
  fprintf(f, "EQUIPWEAPON=%d,%d,%d,%d,%d,%d,%d,%d,%d\n", it.damage[0], it.damage[1], it.damage[2], ThreatLowest(c, it),
          it.criticalMultiplier, it.enhancement, it.effectCount, it.secondEffect, it.attackBonus);
  // A specific weapon is named by its own name above: its base weapon and bonus here.
  if (it.specific > 0 && it.equipment >= 0 && it.equipment < gSource.equipmentCount)
    fprintf(f, "EQUIPBASE=%s,%d\n", gSource.equipment[it.equipment].name.c_str(), it.enhancement);
  if (it.attackType == 2)
    fprintf(f, "ATTACKSECOND=%d\n", it.attackBonus - it.attackBonusA);
  else if (it.twoWeaponSecond)
    fprintf(f, "ATTACKSECOND=%d\n", it.attackBonus);
  if (strstr(EquipmentKey(it), "Komposit")) fprintf(f, "MAXSTR=%d\n", it.bowStrength);
  // The sheet's figures of the weapon: its attack bonuses (none when not in use) and damage.
  if (it.damage[0] > 0) {
    std::string bonuses;
    for (int b : WeaponAttackBonuses(c, it)) bonuses += Format(bonuses.empty() ? "%d" : "/%d", b);
    fprintf(f, "EQUIPATTACK=%s,%d,%d,%d\n", bonuses.c_str(), it.damage[0], it.damage[1], WeaponDamageBonus(it));
  }
}

// One item's record group, from EQUIPSTART (TREASURESTART for treasure) to EQUIPEND. Only
// the first unused shield writes NOSHIELD.
void ExportItem(Char* c, int i, bool& noShieldWritten, FILE* f) {
  const CharItem& it = c->items[i];
  fprintf(f, i >= c->treasureIndex ? "TREASURESTART=%d\n" : "EQUIPSTART=%d\n", i);
  for (int k = 0; k < it.effectCount && k < kItemEffects; ++k) {
    int e = it.effects[k];
    fprintf(f, "EQUIPEFFECT=%d,%d,%s,%s\n", i, k,
            e >= 0 && e < gSource.effectCount ? gSource.effects[e].name.c_str() : "", EffectText(it, k));
  }
  fprintf(f, "EQUIPMATERIAL=%d\n", MaterialBits(it));
  fprintf(f, "EQUIPMENT=%d,%s,%d,%d\n", it.equipType, EquipmentKey(it), it.value + it.price, it.treasure);
  if (it.equipType == 0) {
    ExportWeapon(c, it, f);
  } else if (it.equipType == 1) {
    fprintf(f, "EQUIPARMOR=%d,%d,%d,%d,%d,%d,%d\n", it.armor, it.maxDex, it.penalty, it.enhancement, it.effectCount,
            it.secondEffect, it.spellFailure);
  } else if (it.equipType == 11) {
    fprintf(f, "EQUIPARROWS=%d,%d,%d\n", it.enhancement, it.effectCount, it.secondEffect);
  } else if (it.equipType == 2) {
    fprintf(f, "EQUIPSHIELD=%d,%d,%d,%d,%d,%d\n", it.armor, it.penalty, it.enhancement, it.effectCount, it.secondEffect,
            it.spellFailure);
  }
  if (!noShieldWritten && UnusedShield(it)) {
    fprintf(f, "NOSHIELD=1\n");
    noShieldWritten = true;
  }
  if (it.charges > 0) fprintf(f, "EQUIPCHARGES=%d\n", it.charges);
  if (const SpellSource* spell = ScrollSpell(it)) fprintf(f, "EQUIPSPELL=%s\n", spell->name.c_str());
  if (it.label[0]) fprintf(f, "EQUIPDESC=%s\n", it.label);
  fprintf(f, "EQUIPEND\n");
}

// Every item in order, then the wealth.
void ExportEquipment(Char* c, FILE* f) {
  bool noShieldWritten = false;
  for (int i = 0; i < c->itemCount; ++i) ExportItem(c, i, noShieldWritten, f);
  fprintf(f, "MONEY=%d,%d,%d,%d,%d\n", c->wealth, c->money, c->saleValue, c->treasureBudget, c->treasureMoney);
}

// Psionic slots: power points and discipline, powers known per level, the chosen powers.
void ExportPowers(Char* c, int slots, FILE* f) {
  for (int i = 0; i < slots; ++i) {
    if (!Psionic(c, i)) continue;
    fprintf(f, "PSIPOINTS=%d\n", c->PowerPoints);
    if (ClassAt(c->classes[i])->psiDisciplines) fprintf(f, "PSIDISCIPLE=%d\n", c->mainPsionic);
  }
  for (int i = 0; i < slots; ++i)
    for (int level = 0; level <= 9 && Psionic(c, i); ++level)
      if (c->spellsKnown[i][level] > 0) fprintf(f, "PSIKNOWN=%d,%d,%d\n", i, level, c->spellsKnown[i][level]);
  for (int i = 0; i < slots; ++i) {
    int entry = 0;
    for (int level = 0; level <= 9 && Psionic(c, i); ++level)
      for (int k = 0; k < c->spellsChosenCount[i][level] && k < 10; ++k) {
        int p = c->spellsChosen[i][level][k];
        if (p < 0 || p >= gSource.powerCount) continue;
        fprintf(f, "PSI=%d,%d,%d,%d,%d,%s\n", i, entry++, level, PowerDC(c, i, p, level), gSource.powers[p].attribute,
                gSource.powers[p].name.c_str());
      }
  }
}

// Spellcasting slots: known and per-day counts, the chosen spells, then domain spells
// (level - 1 as their entry, the spell level as their DC column).
void ExportSpells(Char* c, int slots, FILE* f) {
  for (int i = 0; i < slots; ++i)
    for (int level = 0; level <= 9 && !Psionic(c, i); ++level)
      if (c->spellsKnown[i][level] >= 0 || c->spellsPerDay[i][level] >= 0)
        fprintf(f, "SPELLSKNOWN=%d,%d,%d,%d\n", i, level, c->spellsKnown[i][level], c->spellsPerDay[i][level]);
  for (int i = 0; i < slots; ++i) {
    int entry = 0;
    for (int level = 0; level <= 9 && !Psionic(c, i); ++level)
      for (int k = 0; k < c->spellsChosenCount[i][level] && k < 10; ++k) {
        int sp = c->spellsChosen[i][level][k];
        if (sp < 0 || sp >= gSource.spellCount) continue;
        fprintf(f, "SPELL=%d,%d,%d,%s,%d\n", i, entry++, level, gSource.spells[sp].name.c_str(),
                SpellDC(c, i, sp, level));
      }
  }
  for (int i = 0; i < slots; ++i) {
    const CharSource* k = ClassAt(c->classes[i]);
    if (!k || k->domains <= 0) continue;
    for (int level = 1; level <= 9; ++level) {
      int sp = c->domainSpells[level];
      if (sp >= 0 && sp < gSource.spellCount)
        fprintf(f, "SPELL=%d,%d,-1,%s,%d\n", i, level - 1, gSource.spells[sp].name.c_str(), level);
    }
  }
}

// The special-ability text (block 0) and the three text blocks.
void ExportTexts(Char* c, FILE* f) {
  fprintf(f, "STARTCHARTEXT=%d\n%s\nCHARTEXTEND\n", 0, TextOf(c->specialText));
  for (int block = 1; block < 4; ++block)
    fprintf(f, "STARTCHARTEXT=%d\n%s\nCHARTEXTEND\n", block, TextOf(c->texts[block - 1]));
}

// Each companion's whole export between its start and end lines.
void ExportCompanions(Char* c, FILE* f) {
  if (c->familiarChar) {
    fprintf(f, "STARTFAMILIAR\n");
    Export(c->familiarChar, f);
    fprintf(f, "ENDFAMILIAR\n");
  }
  if (c->mountChar) {
    fprintf(f, "STARTMOUNT\n");
    Export(c->mountChar, f);
    fprintf(f, "ENDMOUNT\n");
  }
  if (c->servantChar) {
    fprintf(f, "STARTSERVANT\n");
    Export(c->servantChar, f);
    fprintf(f, "ENDSERVANT\n");
  }
  for (int i = 0; i < c->companionCount && i < kMaxCompanions; ++i) {
    fprintf(f, "STARTCOMPANION=%d\n", i);
    Export(c->companionChars[i], f);
    fprintf(f, "ENDCOMPANION\n");
  }
}

void Export(Char* c, FILE* f) {
  ExportHead(c, f);
  ExportClasses(c, f);
  ExportCombat(c, f);
  ExportFeatsAndSkills(c, f);
  ExportAttacks(c, f);
  ExportEquipment(c, f);
  int slots = std::min(c->classCount, kMaxClassSlots);
  ExportPowers(c, slots, f);
  ExportSpells(c, slots, f);
  ExportTexts(c, f);
  ExportCompanions(c, f);
  fprintf(f, "ENDCHARACTER\n");
}

}  // namespace

std::string PadRight(const std::string& text, int width) {
  std::string t = Cut(text, (size_t)width);
  return t + std::string((size_t)width - CodePoints(t), ' ');
}

std::string PadLeft(const std::string& text, int width) {
  std::string t = Cut(text, (size_t)width);
  return std::string((size_t)width - CodePoints(t), ' ') + t;
}

void SetSheetScreens(ScreenBuffer** screens, int count) {
  gScreens = screens;
  gScreenCount = count;
}

void PrintChar(Char* c, int screen, int quiet, FILE* exportFile) {
  if (exportFile) {
    Export(c, exportFile);
    return;
  }
  SheetOut out{screen >= 0 && screen < gScreenCount && gScreens ? gScreens[screen] : nullptr};
  Sheet(c, out, quiet);
}

std::string SummaryRow(const Char* c, int screen) {
  std::string cls;
  if (c->classCount > 0 && c->classes[0] >= 0 && c->classes[0] < gSource.classCount)
    cls = ClassName(c->classes[0]);
  else if (c->kind == 1 && c->monster >= 0)
    cls = MonsterName(c->monster);
  if (c->kind == 1) {
    // Monsters show their natural attacks where characters show their weapon: the first
    // on the creature's row, each further one on a row of its own below. An attack cell
    // spans armour class, weapon, attack and damage: name(count), bonus(count/-step), dice.
    std::string rows;
    for (int category = 0; category < 4; ++category)
      for (int i = 0; i < c->attackCount && i < kNaturalAttacks; ++i) {
        const CharAttack& a = c->naturals[i];
        if (a.category != category) continue;
        std::string cell = Format("%18s(%d) | %2d(%1d/-%1d) | %1dW%3d + %3d |", PadLeft(AttackName(a), 18).c_str(),
                                  a.number, a.attack, a.number, a.step, a.damage[0], a.damage[1], a.damage[2]);
        if (rows.empty())
          rows = Format("| %2d:   %4d | %s | %3d | %3d | %s %3d | %3d | %4d |\n", screen, c->Level,
                        PadLeft(cls, 23).c_str(), c->shownHitPoints, ArmorClassOf(c).total, cell.c_str(),
                        Save(c, 0).Total(), Save(c, 1).Total(), Save(c, 2).Total());
        else
          rows +=
              Format("|            | %23s | %3s | %3s | %s %3s | %3s | %4s |\n", "", "", "", cell.c_str(), "", "", "");
      }
    if (rows.empty())
      rows = Format("| %2d:   %4d | %s | %3d | %3d | %21s | %8s | %11s | %3d | %3d | %4d |\n", screen, c->Level,
                    PadLeft(cls, 23).c_str(), c->shownHitPoints, ArmorClassOf(c).total, "", "", "", Save(c, 0).Total(),
                    Save(c, 1).Total(), Save(c, 2).Total());
    return rows;
  }
  // Characters show their main weapon.
  std::string weapon, bonus, damage;
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
    const CharItem& it = c->items[i];
    if (it.equipType != 0 || !it.figured || it.equipment < 0) continue;
    weapon = DisplayName(gSource.equipment[it.equipment]);
    bonus = Format("%+d", it.finalAttack);
    damage = it.finalDamage ? Format("%dW%d%+d", it.damage[0], it.damage[1], it.finalDamage)
                            : Format("%dW%d", it.damage[0], it.damage[1]);
    if (it.primary) break;
  }
  return Format("| %2d:%2d      | %s | %3d | %3d | %s | %8s | %s| %3d | %3d | %4d |\n", screen, c->Level,
                PadLeft(cls, 23).c_str(), c->shownHitPoints, ArmorClassOf(c).total, PadLeft(weapon, 21).c_str(),
                bonus.c_str(), (PadLeft(damage, 11) + " ").c_str(), Save(c, 0).Total(), Save(c, 1).Total(),
                Save(c, 2).Total());
}

void PrintSpellList() {
  for (int c = 0; c < gSource.classCount; ++c) {
    const CharSource& cls = gSource.classes[c];
    if (cls.spellType == -1) continue;
    int total = 0;
    for (int level = 0; level <= 9; ++level) {
      int count = 0;
      auto print = [&](int s) {
        const SpellSource& sp = gSource.spells[s];
        if (sp.Levels()[c] != level) return;
        ConsolePrint("%s(%d): %s       (%s)\n", DisplayName(cls), level, DisplayName(sp), SchoolName(sp.school));
        ++count;
      };
      if (cls.specialise == 0) {
        for (int s = 0; s < gSource.spellCount; ++s) print(s);
      } else {
        for (int school = 0; school < gSource.schoolCount; ++school)
          for (int s = 0; s < gSource.spellCount; ++s)
            if (gSource.spells[s].school == school) print(s);
      }
      ConsolePrint("%s: %d Spells in Level %d\n\n", DisplayName(cls), count, level);
      total += count;
    }
    if (total > 0) {
      ConsolePrint("Press a key to view next char!\n");
      DiscardPendingKeys();
      ReadKey(kKeyEnter);
    }
  }
  for (int d = 0; d < gSource.domainCount; ++d)
    for (int level = 0; level <= 10; ++level)
      for (int s = 0; s < gSource.spellCount; ++s) {
        const SpellSource& sp = gSource.spells[s];
        for (int k = 0; k < sp.domainCount && k < 2; ++k)
          if (sp.domains[k] == d && sp.DomainLevel(k) == level)
            ConsolePrint("%s(%d): %s\n", DomainName(d), level, DisplayName(sp));
      }
  ConsolePrint("\n");
}

}  // namespace RUNTIME_NS
