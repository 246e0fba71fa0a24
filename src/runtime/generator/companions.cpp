// Familiars, animal companions, mounts and servants: each built as a creature of its own
// from a monster row, then fitted to its master under the active rule set.
#include "generator/companions.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "generator/attributes.h"
#include "generator/combat.h"
#include "generator/creation.h"
#include "generator/creature_ops.h"
#include "generator/feats.h"
#include "generator/monster.h"
#include "generator/script_binding.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "random/decisions.h"
#include "random/types.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

void Text(Char* c, const char* text) {
  if (c->specialText) TextAppend(c->specialText, text, strlen(text));
}

int MonsterType(const char* name) { return FindByName(gSource.monsterTypes, gSource.monsterTypeCount, name); }

// Builds monster m as a sub-creature of the master, with `dice` hit dice (0: its own)
// and a template (0: none), on the master's decision stream. `bonusDice` of them are a
// companion's bonus hit dice, which do not make it grow.
Char* Create(Char* master, int m, int dice, int templ, int bonusDice = 0) {
  if (m < 0 || m >= gSource.monsterCount) return nullptr;
  // A record of its own for the build: the context's spare record may be the record of
  // the master itself (the class part of a mixed creature).
  TrackedPtr<int32_t> record(static_cast<int32_t*>(mallocloga(kRecordBytes, "DoCompanion-Record")));
  int32_t* r = record.get();
  const int32_t* own = master->record;
  memset(r, 0, kRecordBytes);
  SetRecordRuleSet(r, master->rules);
  if (own)
    for (int w = rec::kDrawType; w <= rec::kMonsterSelChosen; ++w) r[w] = own[w];
  r[rec::kKind] = 1;
  r[rec::kFixedMonster] = m;
  r[rec::kCRMin] = r[rec::kCRMax] = gSource.monsters[m].cr;
  r[rec::kStoredHitPoints] = -1;
  r[rec::kMonsterOption] = dice;
  r[rec::kParam10] = templ;
  r[rec::kFixedRace] = -1;
  Char* c = static_cast<Char*>(mallocloga(sizeof(Char), "DoCompanion-Char"));
  MakeFreshChar(c);
  c->record = r;
  c->context = master->context;
  c->context.bonusDice = bonusDice;
  c->noEquipment = 1;
  c->specialText = TextCreate("DoCompanion-Text");
  CreateCreature(c, 1);
  c->shownHitPoints = c->hitPoints + c->TP;
  c->record = nullptr;  // the record lived for the build only
  return c;
}

// A natural attack of every slot takes a change of the base attack.
void AddAttack(Char* c, int delta) {
  for (int i = 0; i < c->attackCount; ++i) c->naturals[i].attack += delta;
}

// Dexterity up by n: a monster's armour class and Reflex save follow the modifier.
void RaiseDexterity(Char* c, int n) {
  int before = c->MGE;
  c->GE += n;
  ComputeModifiers(c);
  c->AC += c->MGE - before;
  c->refMod += c->MGE - before;
}

void RaiseSavesTo(Char* c, const Char* master) {
  RaiseToMaster(&c->baseRef, master->baseRef, nullptr);
  RaiseToMaster(&c->baseWill, master->baseWill, nullptr);
  RaiseToMaster(&c->baseFort, master->baseFort, nullptr);
}

// What binding to a master gives a mount or a servant: the master's saves, some wits,
// natural armour, strength, evasion and the first two familiar abilities.
void Bind(Char* k, const Char* master, int intelligence, int armour, int strength) {
  RaiseSavesTo(k, master);
  k->IN = std::max(k->IN, intelligence);
  k->absent[3] = 0;
  k->AC += armour;
  k->NaturalAC += armour;
  RaiseStrength(k, strength);
  k->Evasion = 2;
  k->familiarFlags[0] = k->familiarFlags[1] = 1;
}

// Levels the creature has in the class of this name.
int ClassLevels(const Char* c, const char* name) {
  int n = 0;
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s)
    if (const CharSource* k = ClassAt(c->classes[s]); k && k->name == name) n += c->classLevels[s];
  return n;
}

// Whether monster m may be the creature's familiar. SRD 3.5: the familiar list, and with
// Improved Familiar the improved familiars of the master's arcane level (the list rows
// name the level). The system's own rules: any animal with a master's gift, any such
// creature with the feat.
bool FamiliarAllowed(const Char* c, int m, bool improved, int animal) {
  const MonsterSource& x = gSource.monsters[m];
  if (Srd35(c)) {
    for (int i = 0; i < gSource.specialCount; ++i) {
      const SpecialSource& row = gSource.specials[i];
      if (row.type == 10 && row.name == x.name.c_str())
        return row.spellLevel <= 1 || (improved && c->Familiar >= row.spellLevel);
    }
    return false;
  }
  bool script = x.familiar.data && x.familiar.data[0] != 0 && x.familiar.data[5] != 0;
  return script && (x.type == animal || improved);
}

void DoFamiliar(Char* c) {
  IsaacState* state = c->context.random;
  if (c->Familiar <= 0 || c->money < 100) return;
  if (random(state, 0, 1, "Vertrauter?", 0) != 1) return;
  c->money -= 100;
  int n = gSource.monsterCount;
  int animal = MonsterType("Animal");
  bool improved = OwnsFeat(c, Known().improvedFamiliar);
  std::vector<int32_t> w((size_t)std::max(n, 1), 0);
  for (int m = 0; m < n; ++m) w[(size_t)m] = FamiliarAllowed(c, m, improved, animal) ? 1 : 0;
  int m = AdvancedRand(state, n, w.data(), 4, &gSource.monsters[0].name.text, sizeof(MonsterSource),
                       "Vertrauten wählen!", 0, true, 0, false);
  if (m < 0) return;
  Char* f = Create(c, m, 0, 0);
  if (!f) return;
  c->familiarChar = f;
  // The familiar's gift to its master.
  if (gSource.monsters[m].familiar.data)
    RunScript(c, nullptr, f->specialText, gSource.monsters[m].familiar.data, gSource.monsters[m].name.c_str(), -1,
              f->specialText);
  // An improved familiar keeps its type (SRD 3.5) and does not speak with its kind.
  bool kept = Srd35(c) && gSource.monsters[m].type != animal;
  int beast = MonsterType("MagicalBeast");
  if (beast >= 0 && !kept) f->creatureType = beast;
  RaiseSavesTo(f, c);
  int32_t delta = 0;
  RaiseToMaster(&f->GA, c->GA, &delta);
  AddAttack(f, delta);
  f->IN = std::max(f->IN, (c->Familiar + 1) / 2 + 5);
  f->absent[3] = 0;
  ComputeModifiers(f);
  f->AC += (c->Familiar + 1) / 2;
  f->NaturalAC += (c->Familiar + 1) / 2;
  f->Evasion = 2;
  for (const char* skill : {"Entdecken", "Lauschen"}) {
    int s = FindByName(gSource.skills, gSource.skillCount, skill);
    if (s >= 0) CharSkillEntry(f, s).bonus += 2;
  }
  Text(f, "Kann alle Fertigkeiten des Meisters nutzen wenn diese höher sind\n");
  f->familiarFlags[0] = f->familiarFlags[1] = 1;
  if (c->Familiar >= 3)
    Text(f,
         "Der Meister kann den Vertauten den Berührungsangriff eines Zaubers durchführen lassen, Der Vertraute muss "
         "den Meister berühren wenn der Zauber gewirkt wird\n");
  if (c->Familiar >= 5) f->familiarFlags[2] = 1;
  if (c->Familiar >= 7 && !kept) Text(f, "Kann mit Tieren seiner Art sprechen\n");
  if (c->Familiar >= 11) f->MR = std::max(f->MR, c->Familiar + 5);
  if (c->Familiar >= 13) Text(f, "Der Meister kann einmal pro Tag den Vertrauten ohne Foku etc ausspäben\n");
}

// Teaches the animal `count` different tricks, each with its script.
void TeachTricks(Char* a, int count, IsaacState* state) {
  Text(a, "Gelernte Tricks:\n");
  std::vector<int32_t> tw((size_t)std::max(gSource.specialCount, 1), 0);
  for (int i = 0; i < gSource.specialCount; ++i) tw[(size_t)i] = gSource.specials[i].type == 5 ? 1 : 0;
  for (int t = 0; t < count; ++t) {
    int i = AdvancedRand(state, gSource.specialCount, tw.data(), 4, &gSource.specials[0].name.text,
                         sizeof(SpecialSource), "Trick wählen!", 0, true, 0, false);
    if (i < 0) break;
    tw[(size_t)i] = 0;
    std::string line = std::string(gSource.specials[i].name.c_str()) + ": ";
    Text(a, line.c_str());
    if (gSource.specials[i].script.data)
      RunScript(a, nullptr, a->specialText, gSource.specials[i].script.data, gSource.specials[i].name.c_str(), -1,
                a->specialText);
  }
}

// The druid level an animal companion counts by: a druid's levels and, from 4th level
// on, half a ranger's.
int EffectiveDruidLevel(const Char* c) {
  int ranger = ClassLevels(c, "Waldläufer");
  return ClassLevels(c, "Druide") + (ranger >= 4 ? ranger / 2 : 0);
}

// SRD 3.5: one animal from the druid's list for the effective druid level; an animal of
// a later list counts the level lower by its list's adjustment. Bonus hit dice, natural
// armour, Str/Dex and bonus tricks by the druid's table (in steps of three levels; above
// 20th level hit dice, Str/Dex and tricks go on rising, natural armour stops).
void DruidAnimalCompanion(Char* c) {
  IsaacState* state = c->context.random;
  int level = EffectiveDruidLevel(c);
  if (level < 1) return;
  int n = gSource.specialCount;
  std::vector<int32_t> w((size_t)std::max(n, 1), 0);
  std::vector<int> monsterOf((size_t)std::max(n, 1), -1);
  for (int i = 0; i < n; ++i) {
    const SpecialSource& x = gSource.specials[i];
    if (x.type != 9 || x.spellLevel > level) continue;
    monsterOf[(size_t)i] = FindByName(gSource.monsters, gSource.monsterCount, x.name.c_str());
    w[(size_t)i] = monsterOf[(size_t)i] >= 0 ? 1 : 0;
  }
  int row = AdvancedRand(state, n, w.data(), 4, &gSource.specials[0].name.text, sizeof(SpecialSource),
                         "Tiergefährten wählen!", 0, true, 0, false);
  if (row < 0 || row >= n || w[(size_t)row] == 0) return;
  int m = monsterOf[(size_t)row];
  int effective = level - (gSource.specials[row].spellLevel - 1);
  int step = std::min(effective, 20) / 3, epic = effective > 20 ? (effective - 20) / 3 : 0;
  int bonus = 2 * (step + epic);
  Char* a = Create(c, m, gSource.monsters[m].hd + bonus, 0, bonus);
  if (!a) return;
  c->companionChars[c->companionCount++] = a;
  a->AC += 2 * step;
  a->NaturalAC += 2 * step;  // the stat block's natural part
  RaiseStrength(a, step + epic);
  RaiseDexterity(a, step + epic);
  Text(a,
       "Verbindung: der Meister lenkt den Tiergefährten als freie Aktion und treibt ihn als Bewegungsaktion an, +4 "
       "auf Tierempathie und Mit Tieren umgehen für ihn\n");
  Text(a,
       "Zauber teilen: Zauber, die der Meister auf sich selbst wirkt, kann er auch auf den Tiergefährten wirken, "
       "sofern dieser nicht weiter als 1,5 Meter entfernt ist\n");
  a->Evasion = step >= 5 ? 2 : step >= 1 ? 1 : a->Evasion;
  if (a->Evasion == 2)
    Text(a, "Verbessertes Entrinnen\n");
  else if (a->Evasion == 1)
    Text(a, "Entrinnen\n");
  if (step >= 2) Text(a, "Ergebenheit: +4 Moralbonus auf Willenswürfe gegen Verzauberungen\n");
  if (step >= 3) {
    int natural = 0;
    for (int i = 0; i < a->attackCount; ++i) natural += std::max(a->naturals[i].number, 1);
    int multiattack = FindByName(gSource.feats, gSource.featCount, "Mehrfachangriff");
    if (natural >= 3 && multiattack >= 0 && !OwnsFeat(a, multiattack))
      AddFeat(a, multiattack, nullptr, -1);
    else if (natural < 3)
      Text(a, "Zweiter Angriff mit der ersten natürlichen Waffe (-5)\n");
  }
  TeachTricks(a, step + 1 + epic, state);
}

// An animal companion. SRD 3.5: one, by the druid's list and table. The system's own
// rules: a hit-dice budget split over one or more animals of any kind.
void DoAnimalCompanion(Char* c) {
  if (Srd35(c)) {
    DruidAnimalCompanion(c);
    return;
  }
  IsaacState* state = c->context.random;
  if (c->AnimalCompanion <= 0 || random(state, 0, 1, "Tiergefährte?", 0) != 1) return;
  int budget = random(state, 1, c->AnimalCompanion, "HD Für Tiergefährte", 0);
  std::vector<int> dice;
  while (budget > 0 && (int)dice.size() < kMaxCompanions) {
    int h = budget;
    if (random(state, 0, 1, "Weiterer Tiergefährte", 0) == 1) h = random(state, 1, budget, "HD Für Tiergefährte", 0);
    dice.push_back(h);
    budget -= h;
  }
  int n = gSource.monsterCount, animal = MonsterType("Animal");
  for (size_t k = 0; k < dice.size() && c->companionCount < kMaxCompanions; ++k) {
    int h = dice[k];
    for (;;) {
      std::vector<int32_t> w((size_t)std::max(n, 1), 0);
      bool any = false;
      for (int m = 0; m < n; ++m) {
        const MonsterSource& x = gSource.monsters[m];
        int top = x.hdMax > 0 ? x.hdMax : x.hd;
        if (x.type != animal || x.hd > h || top < h) continue;
        w[(size_t)m] = x.abilities[3] >= 2 ? 2 : 1;
        any = true;
      }
      if (any) {
        int m = AdvancedRand(state, n, w.data(), 4, &gSource.monsters[0].name.text, sizeof(MonsterSource),
                             "Tiergefährten wählen!", 0, true, 0, false);
        Char* a = Create(c, m, h, 0);
        if (!a) break;
        c->companionChars[c->companionCount++] = a;
        if (a->IN >= 2) TeachTricks(a, a->IN, state);
        break;
      }
      if (h < 2) break;  // nothing of one hit die: no animal
      int part = random(state, 1, h - 1, "HD Zwischen 2 Tieren aufteilen!", 0);
      dice.push_back(part);
      h -= part;
    }
  }
}

const char kCommandText[] =
    "Command: The mount's command ability is a spell-like ability that it can use at will against other creatures "
    "of its kind with\nfewer hit dice than it has. Those creatures must succeed on a Will save (DC 10 + 1/2 the "
    "mount's hit dice + its\nCharisma modifier) or become its followers, as the command spell, for as long as it "
    "stays near them.\nThe mount uses this ability only on its master's bidding and never against allies.\nIt has "
    "as many uses.\n";

// SRD 3.5: from 5th paladin level the standard mount one size larger than the paladin
// (a heavy warhorse, for a Small paladin a warpony), with the paladin's table in four
// steps (5th, 8th, 11th, 15th level).
void PaladinMount(Char* c, int wanted) {
  if (c->Mount < 5) return;
  int m = -1;
  for (int i = 0; i < gSource.specialCount; ++i) {
    const SpecialSource& x = gSource.specials[i];
    if (x.type != 6 || x.spellLevel != 1) continue;
    int k = FindByName(gSource.monsters, gSource.monsterCount, x.name.c_str());
    if (k >= 0 && (m < 0 || gSource.monsters[k].size == wanted)) m = k;
  }
  if (m < 0) return;
  int step = c->Mount >= 15 ? 3 : c->Mount >= 11 ? 2 : c->Mount >= 8 ? 1 : 0;
  int bonus = 2 * step + 2;
  Char* mount = Create(c, m, gSource.monsters[m].hd + bonus, 0, bonus);
  if (!mount) return;
  c->mountChar = mount;
  Bind(mount, c, step + 6, 2 * step + 4, step + 1);
  int beast = MonsterType("MagicalBeast");
  if (beast >= 0) mount->creatureType = beast;
  Text(mount, "Gemeinsame Rettungswürfe: nutzt den Grundrettungswurf des Meisters, wenn dieser höher ist\n");
  if (step >= 1) Text(mount, "Verbesserte Geschwindigkeit: +3 Meter Bewegungsrate\n");
  if (step >= 2) Text(mount, kCommandText);
  if (step >= 3) mount->MR = std::max(mount->MR, c->Mount + 5);
}

// One size larger than the master.
int MountSize(const Char* c) {
  int raceSize = c->race >= 0 && c->race < gSource.raceCount ? gSource.races[c->race].size : 0;
  int medium = FindByName(gSource.sizes, gSource.sizeCount, "Medium");
  return medium + raceSize + 1;
}

// A paladin's mount. SRD 3.5: the standard mount by the paladin's table. The system's
// own rules: by chance, one of the mounts of the paladin's level, with steps of three levels.
void DoMount(Char* c) {
  if (Srd35(c)) {
    PaladinMount(c, MountSize(c));
    return;
  }
  IsaacState* state = c->context.random;
  if (c->Mount <= 0 || random(state, 0, 1, "Paladin Mount?", 0) != 1) return;
  int n = gSource.specialCount, dragon = MonsterType("Dragon");
  int wanted = MountSize(c);
  std::vector<int32_t> w((size_t)std::max(n, 1), 0);
  std::vector<int> monsterOf((size_t)std::max(n, 1), -1);
  for (int i = 0; i < n; ++i) {
    const SpecialSource& x = gSource.specials[i];
    if (x.type != 6 || x.spellLevel > c->Mount) continue;
    int m = FindByName(gSource.monsters, gSource.monsterCount, x.name.c_str());
    if (m < 0 || gSource.monsters[m].size != wanted) continue;
    monsterOf[(size_t)i] = m;
    w[(size_t)i] = x.spellLevel == 1 ? 500 : gSource.monsters[m].type == dragon ? 1 : 10;
  }
  int row = AdvancedRand(state, n, w.data(), 4, &gSource.specials[0].name.text, sizeof(SpecialSource),
                         "Paladin Mount wählen!", 0, true, 0, false);
  if (row < 0) return;
  int m = monsterOf[(size_t)row];
  int level = gSource.specials[row].spellLevel;
  int t = c->Mount < 12 ? (c->Mount - level) / 3 : (c->Mount - level - 6) / 4 + 2;
  Char* mount = Create(c, m, gSource.monsters[m].hd + 2 * t + 2, 0);
  if (!mount) return;
  c->mountChar = mount;
  Bind(mount, c, t + 6, 2 * t + 4, t + 1);
  if (t >= 2) Text(mount, kCommandText);
  if (t >= 3) mount->MR = std::max(mount->MR, c->Mount + 5);
}

void DoServant(Char* c) {
  IsaacState* state = c->context.random;
  if (c->Servant <= 0 || random(state, 0, 1, "Servant", 0) != 1) return;
  int n = gSource.monsterCount;
  std::vector<int32_t> w((size_t)std::max(n, 1), 0);
  for (int i = 0; i < gSource.specialCount; ++i) {
    if (gSource.specials[i].type != 7) continue;
    int m = FindByName(gSource.monsters, n, gSource.specials[i].name.c_str());
    if (m >= 0) w[(size_t)m] = 1;
  }
  int m = AdvancedRand(state, n, w.data(), 4, &gSource.monsters[0].name.text, sizeof(MonsterSource),
                       "Fiendish Servant wählen!", 0, true, 0, false);
  if (m < 0) return;
  // SRD 3.5: the table's first row holds up to 12th character level.
  int u = Srd35(c) ? std::max(c->Servant - 10, 0) / 3 : (c->Servant - 10) / 3;
  int fiendish = FindByName(gSource.templates, gSource.templateCount, "Fiendish");
  Char* s = Create(c, m, gSource.monsters[m].hd + 2 * u + 2, std::max(fiendish, 0));
  if (!s) return;
  c->servantChar = s;
  Bind(s, c, u + 6, 2 * u + 1, u + 1);
  if (c->Servant >= 13) s->familiarFlags[2] = 1;
  if (c->Servant >= 16)
    Text(s,
         "+2 auf Angriff, Fertigkeiten und RW wenn der Fiendish Servant einen Bedrohten/Verwundeten meister Schützt\n");
  if (c->Servant >= 19) s->MR = std::max(s->MR, c->Servant + 5);
}

}  // namespace

int RaiseToMaster(int32_t* field, int32_t master, int32_t* counter) {
  if (master <= *field) return 0;
  int difference = master - *field;
  *field = master;
  if (counter) *counter += difference;
  return difference;
}

void RaiseStrength(Char* c, int n) {
  int before = c->ST;
  c->ST += n;
  int change = c->ST / 2 - before / 2;
  for (int i = 0; i < c->attackCount; ++i) {
    c->naturals[i].attack += change;
    c->naturals[i].damage[2] += NaturalAttackStrengthDamage(c, i, before / 2 - 5, c->ST / 2 - 5);
  }
  ComputeModifiers(c);
}

// The familiar's hit points. SRD 3.5: half its master's, rounded down. The system's own
// rules: its own, at least half its master's.
void FamiliarHitPoints(Char* master) {
  Char* f = master->familiarChar;
  if (!f) return;
  if (Srd35(master))
    f->shownHitPoints = master->shownHitPoints / 2;
  else
    f->shownHitPoints = std::max(f->hitPoints + f->TP, master->shownHitPoints / 2);
}

void DoCompanions(Char* c) {
  DoFamiliar(c);
  DoAnimalCompanion(c);
  DoMount(c);
  DoServant(c);
  // The companions' special texts were written before their master set these flags.
  for (Char* k : {c->familiarChar, c->mountChar, c->servantChar})
    if (k) {
      FamiliarLines(k);
      MonsterSkillAbilities(k);  // the master's gifts raised Strength or Intelligence
    }
}

}  // namespace RUNTIME_NS
