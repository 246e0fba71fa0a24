// Names and figures of a creature as a person reads them: shared by the sheet, the
// summary row and the stat block, so that all of them show the same values.
#include "shell/figures.h"

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "generator/combat.h"
#include "generator/details.h"
#include "generator/spells.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

std::string Format(const char* format, ...) {
  char buffer[4096];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

size_t CodePoints(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// Cuts UTF-8 text after `width` code points.
std::string Cut(const std::string& s, size_t width) {
  size_t n = 0, i = 0;
  for (; i < s.size(); ++i) {
    if (((unsigned char)s[i] & 0xC0) != 0x80) {
      if (n == width) break;
      ++n;
    }
  }
  return s.substr(0, i);
}

// Right-aligned in at least `width` code points, as "%*s" does for ASCII; longer text stays whole.
std::string Widened(const std::string& s, size_t width) {
  size_t n = CodePoints(s);
  return n < width ? std::string(width - n, ' ') + s : s;
}

const char* SizeName(int size) {
  return size >= 0 && size < gSource.sizeCount ? DisplayName(gSource.sizes[size]) : "Mittelgroß";
}
const char* SizeKey(int size) {
  return size >= 0 && size < gSource.sizeCount ? gSource.sizes[size].name.c_str() : "Medium";
}

int MonsterSize(const Char* c) {
  if (c->sizeIndex >= 0) return c->sizeIndex;
  return c->monster >= 0 && c->monster < gSource.monsterCount ? gSource.monsters[c->monster].size : 0;
}

const MonsterSource* MonsterOf(const Char* c) {
  return c->kind == 1 && c->monster >= 0 && c->monster < gSource.monsterCount ? &gSource.monsters[c->monster] : nullptr;
}
const RaceSource* RaceOf(const Char* c) {
  int r = c->subRace >= 0 ? c->subRace : c->race;
  return r >= 0 && r < gSource.raceCount ? &gSource.races[r] : nullptr;
}
const TemplateSource* TemplateOf(const Char* c) {
  return c->templateIndex > 0 && c->templateIndex < gSource.templateCount ? &gSource.templates[c->templateIndex]
                                                                          : nullptr;
}

std::vector<MoveMode> MovementModes(const Char* c) {
  std::vector<MoveMode> modes;
  const MonsterSource* m = MonsterOf(c);
  const std::string text = m ? m->movementModes.c_str() : "";
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find('|', start), text.size());
    std::istringstream entry(text.substr(start, end - start));
    start = end + 1;
    MoveMode mode;
    entry >> mode.mode;
    mode.own = !mode.mode.empty() && mode.mode[0] == '*';
    if (mode.own) mode.mode.erase(0, 1);
    if (mode.mode != "fly" && mode.mode != "swim" && mode.mode != "climb" && mode.mode != "burrow") continue;
    if (!mode.own) entry >> mode.feet;
    entry >> mode.manoeuvre;
    modes.push_back(mode);
  }
  return modes;
}

std::vector<const AbilitySource*> KeptAbilities(const Char* c) {
  std::vector<const AbilitySource*> kept;
  const MonsterSource* m = MonsterOf(c);
  const char* text = c->specialText && c->specialText->data ? c->specialText->data : "";
  if (const int32_t* code = m ? m->abilityCode.Code() : nullptr)
    for (int i = 1; i <= code[0]; ++i) {
      if (code[i] < 0 || code[i] >= gSource.abilityCount) continue;
      const AbilitySource* x = &gSource.abilities[code[i]];
      // Abilities the creature lost are no longer in its text.
      if (x->text.length && !strstr(text, x->text.c_str())) continue;
      if (std::find(kept.begin(), kept.end(), x) == kept.end()) kept.push_back(x);
    }
  return kept;
}

namespace {
template <class R>
const char* Shown(const R* table, int count, int i) {
  return table && i >= 0 && i < count ? DisplayName(table[i]) : "";
}
}  // namespace

const char* RaceName(const Char* c) { return RaceOf(c) ? DisplayName(*RaceOf(c)) : ""; }
const char* RaceKey(const Char* c) { return RaceOf(c) ? RaceOf(c)->name.c_str() : ""; }

int RaceSize(const Char* c) {
  int medium = -1;
  for (int i = 0; i < gSource.sizeCount; ++i)
    if (gSource.sizes[i].name == "Medium") medium = i;
  int r = c->race;
  int relative = r >= 0 && r <= gSource.raceCount ? gSource.races[r].size : 0;
  return medium >= 0 ? medium + relative : relative;
}

const char* TemplateName(const Char* c) { return TemplateOf(c) ? DisplayName(*TemplateOf(c)) : "Keins"; }
const char* TemplateKey(const Char* c) { return TemplateOf(c) ? TemplateOf(c)->name.c_str() : "Keins"; }

const char* ClassName(int cls) { return Shown(gSource.classes, gSource.classCount, cls); }
const char* MonsterName(int monster) { return Shown(gSource.monsters, gSource.monsterCount, monster); }
const char* MonsterTypeName(int type) { return Shown(gSource.monsterTypes, gSource.monsterTypeCount, type); }
const char* FeatName(int feat) { return Shown(gSource.feats, gSource.featCount, feat); }
const char* SkillName(int skill) { return Shown(gSource.skills, gSource.skillCount, skill); }
const char* SpellName(int spell) { return Shown(gSource.spells, gSource.spellCount, spell); }
const char* PowerName(int power) { return Shown(gSource.powers, gSource.powerCount, power); }
const char* SchoolName(int school) { return Shown(gSource.schools, gSource.schoolCount, school); }
const char* DomainName(int domain) { return Shown(gSource.domains, gSource.domainCount, domain); }
const char* EffectName(int effect) { return Shown(gSource.effects, gSource.effectCount, effect); }

std::string FeatParameterName(const Char* c, int entry) {
  if (entry < 0 || entry >= c->featCount) return "";
  int feat = c->feats[entry], p = c->featParameters[entry];
  if (p == -1) return "alle";
  if (p < 0 || feat < 0 || feat >= gSource.featCount) return "";
  switch (gSource.feats[feat].dep) {
    case 1:
      return Shown(gSource.equipment, gSource.equipmentCount, p);
    case 2:
      return SchoolName(p);
    case 3:
      return SkillName(p);
    case 4:
      return p < kAttributes ? Shown(gSource.attributeNames, kAttributes, p) : "";
    default:
      return "";
  }
}

std::string SkillLabel(const Char* c, int entry) {
  if (entry < 0 || entry >= c->skillCount) return "";
  std::string name = SkillName(c->skills[entry].skill);
  const char* subject = SkillSubject(c, entry);
  return *subject ? name + " (" + subject + ")" : name;
}

// German reads the size as an adjective after the creature: "Gallertwürfel (Schlick), riesig".
std::string CreatureHead(const Char* c) {
  std::string name, type, size;
  if (c->kind == 1) {
    int t = c->creatureType >= 0 && c->creatureType < gSource.monsterTypeCount ? c->creatureType : -1;
    name = MonsterName(c->monster);
    type = MonsterTypeName(t);
    size = SizeName(MonsterSize(c));
  } else {
    name = RaceName(c);
    type = gSource.monsterTypes
               ? MonsterTypeName(FindByName(gSource.monsterTypes, gSource.monsterTypeCount, "Humanoid"))
               : "";
    if (type.empty()) type = "Humanoid";
    size = SizeName(RaceSize(c));
  }
  if (!size.empty() && size[0] >= 'A' && size[0] <= 'Z') size[0] = (char)(size[0] - 'A' + 'a');
  std::string head = name;
  if (!type.empty()) head += " (" + type + ")";
  if (!size.empty()) head += ", " + size;
  return head;
}

const int32_t* Abilities(const Char* c) { return &c->ST; }
const int32_t* Modifiers(const Char* c) { return &c->MST; }

std::vector<std::string> Wrap(const std::string& text, size_t width) {
  std::vector<std::string> lines;
  std::string line;
  size_t i = 0;
  while (i <= text.size()) {
    size_t end = text.find_first_of(" \n", i);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(i, end - i);
    if (CodePoints(line) + CodePoints(word) + 1 > width && !line.empty()) {
      lines.push_back(line);
      line.clear();
    }
    if (!line.empty()) line += " ";
    line += word;
    if (end < text.size() && text[end] == '\n') {
      lines.push_back(line);
      line.clear();
    }
    i = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// A specific magic item is shown by its own name, everything else by its equipment's.
const char* EquipmentName(const CharItem& it) {
  if (it.specific > 0 && it.specific < gSource.specificCount) return DisplayName(gSource.specifics[it.specific]);
  return Shown(gSource.equipment, gSource.equipmentCount, it.equipment);
}
const char* EquipmentKey(const CharItem& it) {
  if (it.specific > 0 && it.specific < gSource.specificCount) return gSource.specifics[it.specific].name.c_str();
  return it.equipment >= 0 && it.equipment < gSource.equipmentCount ? gSource.equipment[it.equipment].name.c_str() : "";
}

// A mixed creature's merged totals are the base attack of both parts, ability and
// size: its class part's epic bonus stays out of them.
int32_t AttackBase(const Char* c) { return c->GA + (c->mixed ? 0 : c->epicAttack); }
Breakdown MeleeAttack(const Char* c) { return {AttackBase(c), c->meleeMod, c->sizeMod, c->AttackMod}; }
Breakdown RangedAttack(const Char* c) { return {AttackBase(c), c->rangedMod, c->sizeMod, c->AttackMod}; }
Breakdown Save(const Char* c, int which) {
  switch (which) {
    case 0:
      return {c->baseRef + c->epicSave, c->refMod, c->RWRefMage, c->RWRefRest};
    case 1:
      return {c->baseWill + c->epicSave, c->willMod, c->RWWilMage, c->RWWilRest};
    default:
      return {c->baseFort + c->epicSave, c->fortMod, c->RWZaehMage, c->RWZaehRest};
  }
}

const char* EffectText(const CharItem& it, int k) {
  int at = it.effectTextAt[k];
  return at >= 0 && at < (int)sizeof it.effectTexts ? it.effectTexts + at : "";
}

// The shown name: label or equipment name, enhancement, effects.
namespace {
// A protective item's label joins its kind and the equipment's key (" SchutzRing +1"):
// a person reads "Ring des Schutzes +1".
std::string ProtectionLabel(const CharItem& it) {
  std::string label = it.label;
  for (auto [kind, shown] : {std::pair{" Schutz", " des Schutzes"}, std::pair{" Widerstands", " des Widerstands"}}) {
    size_t length = strlen(kind), blank = label.find(' ', length);
    if (label.compare(0, length, kind) != 0 || blank == std::string::npos) continue;
    int e = FindByName(gSource.equipment, gSource.equipmentCount, label.substr(length, blank - length).c_str());
    if (e >= 0) return std::string(" ") + DisplayName(gSource.equipment[e]) + shown + label.substr(blank);
  }
  return DisplayKeys(it.label);
}
}  // namespace

const SpellSource* ScrollSpell(const CharItem& it) {
  return it.spell > 0 && it.spell <= gSource.spellCount ? &gSource.spells[it.spell - 1] : nullptr;
}

std::string NamedItem(const CharItem& it, bool english) {
  std::string text;
  if (const SpellSource* spell = ScrollSpell(it)) {
    const SpecificSource& x = gSource.specifics[it.specific];
    text = english ? std::string("Scroll of ") + SrdName(*spell)
                   : Format("Schriftrolle: %s (Grad %d, ZS %d)", DisplayName(*spell), x.spellLevel, x.casterLevel);
  } else if (it.specific > 0 && it.specific < gSource.specificCount) {
    text = english ? SrdName(gSource.specifics[it.specific]) : DisplayName(gSource.specifics[it.specific]);
  }
  if (it.charges > 0) text += Format(english ? " (%d charges)" : " (%d Ladungen)", it.charges);
  return text;
}

std::string ItemLabel(const CharItem& it) {
  std::string text = it.label[0] && strstr(it.label, "Stück") == nullptr ? ProtectionLabel(it)
                     : it.charges > 0 || it.spell > 0                    ? NamedItem(it, false)
                                                                         : EquipmentName(it);
  if (strstr(it.label, "Stück")) text += std::string(" (") + it.label + ")";
  if (it.enhancement > 0 && !strstr(it.label, "+")) text += Format(" +%d", it.enhancement);
  for (int k = 0; k < it.effectCount && k < kItemEffects; ++k) {
    int e = it.effects[k];
    if (e >= 0 && e < gSource.effectCount) text += std::string(k ? ", " : " (") + EffectName(e);
    if (k + 1 == it.effectCount) text += ")";
  }
  return text;
}

// Attack bonuses of a weapon the character fights with: iterative attacks in the main
// hand, one attack in the other; none for a weapon not in use.
std::vector<int> WeaponAttackBonuses(const Char* c, const CharItem& it) {
  std::vector<int> bonuses;
  if (!it.figured) return bonuses;
  int attacks = WeaponAttackCount(c, it);
  for (int k = 0; k < attacks; ++k) bonuses.push_back(it.finalAttack - 5 * k);
  return bonuses;
}

// The damage bonus the sheet shows: final for a weapon in use, else base and enhancement.
int WeaponDamageBonus(const CharItem& it) { return it.figured ? it.finalDamage : it.damage[2] + it.enhancement; }

// Attack, damage and critical of a weapon, armour bonus of armour and shields.
std::string ItemFigures(const Char* c, const CharItem& it) {
  if (it.equipType == 0 && it.damage[0] > 0) {
    std::string text;
    std::vector<int> bonuses = WeaponAttackBonuses(c, it);
    for (size_t k = 0; k < bonuses.size(); ++k) text += Format(k ? "/%+d" : "  %+d", bonuses[k]);
    text += Format("  %dW%d", it.damage[0], it.damage[1]);
    if (int bonus = WeaponDamageBonus(it)) text += Format("%+d", bonus);
    int threat = ThreatLowest(c, it);
    text +=
        threat < 20 ? Format(" (%d-20/x%d)", threat, it.criticalMultiplier) : Format(" (x%d)", it.criticalMultiplier);
    return text;
  }
  if ((it.equipType == 1 || it.equipType == 2) && it.armor + it.enhancement > 0)
    return Format("  RK %+d", it.armor + it.enhancement);
  return std::string();
}

// Save DC of a power: 10 + level + the key ability's modifier and DC bonuses. The key
// ability is the power's own; SRD 3.5 takes the manifesting class's.
int PowerDC(const Char* c, int slot, int power, int level) {
  int attribute = gSource.powers[power].attribute;
  int dc = 10 + level + c->GeneralDC;
  if (attribute >= 0 && attribute < kAttributes) dc += Modifiers(c)[attribute] + c->disciplineDC[attribute];
  const CharSource* k = ClassAt(c->classes[slot]);
  if (Srd35(c) && k && k->spellAttribute >= 0 && k->spellAttribute < kAttributes && attribute >= 0 &&
      attribute < kAttributes)
    dc += Modifiers(c)[k->spellAttribute] - Modifiers(c)[attribute];
  return dc;
}

extern const char* const kAttackCategories[4];
const char* const kAttackCategories[4] = {"Primär  : ", "Sekundär: ", "Tertiär : ", "Quartär : "};

// Bonuses of a natural attack: one per attack, each `step` below the one before; a
// long row of equal attacks as "count * bonus".
std::string AttackBonuses(const CharAttack& a, const char* separator, const char* format) {
  if (a.number > 10 && a.step == 0) return Format("%d * %d", a.number, a.attack);
  std::string text;
  for (int k = 0; k < std::max(a.number, 1); ++k) {
    if (k) text += separator;
    text += Format(format, a.attack - k * a.step);
  }
  return text;
}

std::string AttackDamage(const CharAttack& a, const char* die) {
  if (a.damage[0] <= 0 || a.damage[1] <= 0) return Format("%d", a.damage[2]);
  std::string dice = Format("%d%s%d", a.damage[0], die, a.damage[1]);
  return a.damage[2] ? dice + Format("%+d", a.damage[2]) : dice;
}

ArmorClass ArmorClassOf(const Char* c) {
  if (c->kind == 0 || c->mixed)
    return {c->totalAC, c->armorAC, c->shieldAC, c->dexToAC, c->kind == 0 ? c->sizeMod : 0, c->AC};
  return {10 + c->AC, 0, 0, 0, 0, c->AC};
}

// Item flags: 1 magic, 2 mithril, 4 masterwork (adamantine), 8 mercury.
int MaterialBits(const CharItem& it) {
  return (it.magic ? 1 : 0) | (it.mithril ? 2 : 0) | (it.masterwork ? 4 : 0) | (it.mercury ? 8 : 0);
}
// The sheet's mark of an item: the first of masterwork, mithril, mercury and magic.
char MaterialMark(const CharItem& it) {
  return it.masterwork ? 'A' : it.mithril ? 'M' : it.mercury ? 'Q' : it.magic ? '!' : ' ';
}

// Class slots a monster's spell-casting text made: they come first, before the slots of
// a mixed creature's class part. The export names them "Spellchar".
int SpellCharSlots(const Char* c) {
  if (c->kind != 1 || !c->monsterCaster || c->monster < 0 || c->monster >= gSource.monsterCount) return 0;
  const char* p = reinterpret_cast<const char*>(gSource.monsters[c->monster].spellChar.data);
  if (!p || strcmp(p, "0") == 0) return 0;
  int slots = 0;
  while (*p && slots < c->classCount) {
    std::string entry = p;
    p += entry.size() + 1;
    size_t blank = entry.rfind(' ');
    const CharSource* k = ClassAt(c->classes[slots]);
    if (blank == std::string::npos || !k) continue;
    std::string names = "|";
    names.append(entry, 0, blank).append("|");
    std::string needle = "|";
    needle.append(k->name.c_str()).append("|");
    if (atoi(entry.c_str() + blank + 1) == c->classLevels[slots] && names.find(needle) != std::string::npos) ++slots;
  }
  return slots;
}

bool Psionic(const Char* c, int slot) {
  const CharSource* k = ClassAt(c->classes[slot]);
  return k && k->powerType != 0;
}

bool CastsAnything(const Char* c, int slot) {
  for (int level = 0; level < 10; ++level)
    if (c->spellsToDraw[slot][level] >= 0) return true;
  return false;
}

std::vector<int> ChosenAt(const Char* c, int slot, int level, int count) {
  std::vector<int> chosen;
  for (int i = 0; i < c->spellsChosenCount[slot][level] && i < 10; ++i) {
    int x = c->spellsChosen[slot][level][i];
    if (x >= 0 && x < count) chosen.push_back(x);
  }
  return chosen;
}

std::string SpellLevelHead(const Char* c, int slot, int level, bool english) {
  const CharSource* k = ClassAt(c->classes[slot]);
  if (k && CastsFromKnown(c, *k))
    return Format(english ? "Level %d (%d known, %d/day, DC %d): " : "Grad %d (%d bekannt, %d/Tag, SG %d): ", level,
                  c->spellsKnown[slot][level], c->spellsPerDay[slot][level], SpellDC(c, slot, -1, level));
  return Format(english ? "Level %d (%d/day, DC %d): " : "Grad %d (%d/Tag, SG %d): ", level,
                c->spellsPerDay[slot][level], SpellDC(c, slot, -1, level));
}

std::string DomainSpellList(const Char* c, bool english) {
  std::string names;
  for (int level = 1; level < 10; ++level) {
    int sp = c->domainSpells[level];
    if (sp < 0 || sp >= gSource.spellCount) continue;
    if (!names.empty()) names += ", ";
    names += Format("%d: %s", level, english ? SrdName(gSource.spells[sp]) : SpellName(sp));
  }
  return names;
}

std::vector<std::string> SpellLikeLines(const Char* c) {
  std::vector<std::string> lines;
  if (c->monster < 0 || c->monster >= gSource.monsterCount) return lines;
  const std::string text = gSource.monsters[c->monster].spellLike.c_str();
  std::string line;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '|') {
      if (line.compare(0, 3, "ZS ") == 0) line = "Zauberstufe " + line.substr(3);
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else if (text[i] == '{') {
      size_t close = text.find('}', i);
      if (close == std::string::npos) close = text.size();
      line += Format(" (SG %d)", 10 + atoi(text.c_str() + i + 1) + c->MCH);
      i = close;
    } else {
      line += text[i];
    }
  }
  return lines;
}

namespace {

const char kSpellLike[] = "Zauberähnliche Fähigkeiten: siehe Beschreibung";
// Lines the generator writes without a line end; the next ability follows on a line of its own.
const char* const kUnterminated[] = {"feet wirken", "von Outsidern"};

// A small letter ends before `at`: ASCII, or ä, ö, ü, ß (UTF-8 C3 A4, B6, BC, 9F).
bool LowerBefore(const std::string& word, size_t at) {
  unsigned char last = (unsigned char)word[at - 1];
  if (last >= 'a' && last <= 'z') return true;
  return at >= 2 && (unsigned char)word[at - 2] == 0xC3 &&
         (last == 0xA4 || last == 0xB6 || last == 0xBC || last == 0x9F);
}

// A word with a capital inside ("WissenEbenen"): a table key some rule text names.
bool KeyLike(const std::string& word) {
  for (size_t i = 1; i < word.size(); ++i)
    if (word[i] >= 'A' && word[i] <= 'Z' && LowerBefore(word, i)) return true;
  return false;
}

template <class R>
bool Rename(std::string& word, const R* table, int count) {
  int i = table ? FindByName(table, count, word.c_str()) : -1;
  if (i < 0) return false;
  word = DisplayName(table[i]);
  return true;
}

}  // namespace

// Table keys in a rule text (scripts write skills and feats by their keys) read as their
// display names.
std::string DisplayKeys(const std::string& line) {
  std::string out;
  size_t i = 0;
  while (i < line.size()) {
    auto letter = [&](size_t at) {
      unsigned char ch = (unsigned char)line[at];
      return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || ch >= 0x80;
    };
    if (!letter(i)) {
      out += line[i++];
      continue;
    }
    size_t end = i;
    while (end < line.size() && letter(end)) ++end;
    std::string word = line.substr(i, end - i);
    if (KeyLike(word))
      Rename(word, gSource.skills, gSource.skillCount) || Rename(word, gSource.feats, gSource.featCount) ||
          Rename(word, gSource.spells, gSource.spellCount) || Rename(word, gSource.equipment, gSource.equipmentCount) ||
          Rename(word, gSource.classes, gSource.classCount) || Rename(word, gSource.races, gSource.raceCount) ||
          Rename(word, gSource.monsters, gSource.monsterCount) ||
          Rename(word, gSource.templates, gSource.templateCount) ||
          Rename(word, gSource.specifics, gSource.specificCount) ||
          Rename(word, gSource.specials, gSource.specialCount) ||
          Rename(word, gSource.abilities, gSource.abilityCount) || Rename(word, gSource.effects, gSource.effectCount);
    out += word;
    i = end;
  }
  return out;
}

namespace {

void AddNote(const Char* c, std::string line, std::vector<std::string>& lines) {
  for (const char* end : kUnterminated) {
    size_t at = line.find(end);
    if (at != std::string::npos && at + strlen(end) < line.size()) {
      std::string rest = line.substr(at + strlen(end));
      line.resize(at + strlen(end));
      AddNote(c, line, lines);
      AddNote(c, rest, lines);
      return;
    }
  }
  // A template's key that a character's notes carry in front of the next ability.
  if (const char* key = TemplateKey(c); c->templateIndex > 0 && line.compare(0, strlen(key), key) == 0) {
    lines.push_back(std::string("Template: ") + TemplateName(c));
    if (line.size() > strlen(key)) AddNote(c, line.substr(strlen(key)), lines);
    return;
  }
  if (line.compare(0, 10, "Template: ") == 0) {
    size_t comma = line.find(',');
    if (comma != std::string::npos) {
      int t = FindByName(gSource.templates, gSource.templateCount, line.substr(10, comma - 10).c_str());
      if (t >= 0) line = "Template: " + std::string(DisplayName(gSource.templates[t])) + line.substr(comma);
    }
  }
  if (line.compare(0, 11, "Erzfeinde: ") == 0 && c->enemyCount > 0) {
    size_t on = line.find(" auf ");
    std::string what = on != std::string::npos ? line.substr(on + 1) : std::string();
    if (!what.empty() && what.back() == ')') what.pop_back();
    line = FavouredEnemyLine(c) + (what.empty() ? "" : " (" + what + ")");
  }
  if (line == kSpellLike) {
    std::vector<std::string> spells = SpellLikeLines(c);
    if (spells.empty()) {
      lines.push_back("Zauberähnliche Fähigkeiten: wirkt Zauber als angeborene Fähigkeit, ohne Komponenten");
    } else {
      lines.push_back("Zauberähnliche Fähigkeiten:");
      for (const std::string& s : spells) lines.push_back("  " + s);
    }
    return;
  }
  lines.push_back(DisplayKeys(line));
}

}  // namespace

std::vector<std::string> NoteLines(const Char* c) {
  std::vector<std::string> lines;
  auto add = [&](const TextBuffer* t) {
    if (!t || !t->data || !t->length) return;
    std::string text(t->data, t->length);
    for (size_t i = 0; i < text.size();) {
      size_t end = text.find('\n', i);
      if (end == std::string::npos) end = text.size();
      AddNote(c, text.substr(i, end - i), lines);
      i = end + 1;
    }
  };
  add(c->specialText);
  for (const TextBuffer* t : c->texts) add(t);
  return lines;
}

std::string AttackName(const CharAttack& a) {
  // "Slap" is the key the attack rules look up (a dragon's tail slap).
  if (strcmp(a.name, "Slap") == 0) return "Schwanzhieb";
  return DisplayKeys(a.name);
}

}  // namespace RUNTIME_NS
