// The classic stat block: every figure comes from the functions the sheet uses
// (shell/figures.h), so the two never disagree. Distances are in metres like the sheet's
// movement, with squares of 1,5 m (5 Fuß) for the speed.
#include "shell/statblock.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "generator/alignment.h"
#include "generator/combat.h"
#include "generator/feats.h"
#include "generator/monster.h"
#include "generator/spells.h"
#include "shell/figures.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

struct Dice {
  int count, faces;
};

// The hit dice by die size, in the order they come: the monster's own, then each class's.
// A monster's spell-casting classes give no dice; a mixed creature's class part does.
std::vector<Dice> HitDice(const Char* c) {
  std::vector<Dice> dice;
  auto add = [&dice](int count, int faces) {
    if (count <= 0 || faces <= 0) return;
    for (Dice& d : dice)
      if (d.faces == faces) {
        d.count += count;
        return;
      }
    dice.push_back({count, faces});
  };
  if (c->kind == 1) add(c->Level - c->classHitDice, c->MonsterTWType);
  if (c->kind == 0 || c->mixed)
    for (int s = c->kind == 1 ? SpellCharSlots(c) : 0; s < c->classCount && s < kMaxClassSlots; ++s)
      if (const CharSource* k = ClassAt(c->classes[s]))
        add(c->classLevels[s], c->kind == 0 && c->MonsterTWType ? c->MonsterTWType : k->hitDie);
  return dice;
}

// The fixed part: whatever of the hit points the dice did not roll.
int FixedHitPoints(const Char* c) { return c->hitPoints + c->TP - c->hitDieRolls; }

// The average of the expression, rounded down as the rule books do.
int AverageHitPoints(const Char* c) {
  int64_t halves = 0;
  for (const Dice& d : HitDice(c)) halves += (int64_t)d.count * (d.faces + 1);
  return (int)(halves / 2 + FixedHitPoints(c));
}

// Metres with a decimal comma: "9 m", "1,5 m", "0,75 m".
std::string Metres(double metres) {
  long hundredths = std::lround(metres * 100);
  std::string text = Format("%ld", hundredths / 100);
  if (hundredths % 100) {
    std::string fraction = Format("%02ld", hundredths % 100);
    if (fraction.back() == '0') fraction.pop_back();
    text += "," + fraction;
  }
  return text + " m";
}

// Size steps from Medium (-4 Fine ... +4 Colossal).
int SizeStep(const Char* c) {
  int size = c->kind == 1 ? MonsterSize(c) : RaceSize(c);
  int medium = -1;
  for (int i = 0; i < gSource.sizeCount; ++i)
    if (gSource.sizes[i].name == "Medium") medium = i;
  return medium < 0 ? 0 : std::clamp(size - medium, -4, 4);
}

// Space and the reach of a tall creature in feet, by size step.
constexpr double kSpaceFeet[9] = {0.5, 1, 2.5, 5, 5, 10, 15, 20, 30};
constexpr int kReachFeet[9] = {0, 0, 0, 5, 5, 10, 15, 20, 30};
constexpr double kMetresPerFoot = 0.3;

const MonsterSource* MonsterOf(const Char* c) {
  return c->kind == 1 && c->monster >= 0 && c->monster < gSource.monsterCount ? &gSource.monsters[c->monster] : nullptr;
}

int BonusType(const char* name) {
  for (int i = 0; i < gSource.bonusCount; ++i)
    if (gSource.bonuses[i].name == name) return i;
  return -1;
}

// The armour class in the parts a stat block names; "other" is what no part explains.
struct ArmorParts {
  int total, size, dexterity, armor, shield, natural, dodge, other;
  int Touch() const { return total - armor - shield - natural; }
};

ArmorParts PartsOf(const Char* c) {
  ArmorClass ac = ArmorClassOf(c);
  ArmorParts p{ac.total, ac.size, ac.dexterity, ac.armor, ac.shield, 0, 0, 0};
  if (c->kind == 1) {
    p.size = SizeModifier(c->sizeIndex);
    if (!c->mixed) p.dexterity = c->absent[1] ? 0 : c->MGE;
    p.natural = c->NaturalAC;
  }
  // Typed bonuses on the armour class: the best natural one and every dodge one.
  const int natural = BonusType("Natürlich"), dodge = BonusType("Ausweichen");
  const int32_t offset = (int32_t)offsetof(Char, AC);
  int bestNatural = 0;
  for (const CharBonus* b = c->bonuses; b; b = b->next) {
    if (b->variable != offset) continue;
    if (b->bonusType == natural && b->amount > bestNatural) bestNatural = b->amount;
    if (b->bonusType == dodge) p.dodge += b->amount;
  }
  p.natural += bestNatural;
  p.other = p.total - 10 - p.size - p.dexterity - p.armor - p.shield - p.natural - p.dodge;
  return p;
}

// Caught flat-footed the creature loses its Dexterity bonus and its dodge bonuses,
// unless uncanny dodge keeps them.
int FlatFooted(const Char* c, const ArmorParts& p) {
  if (c->UncannyDodge) return p.total;
  return p.total - std::max(p.dexterity, 0) - std::max(p.dodge, 0);
}

std::string ArmorText(const Char* c) {
  ArmorParts p = PartsOf(c);
  std::string parts;
  auto part = [&parts](int value, const char* name) {
    if (value) parts += Format("%s%+d %s", parts.empty() ? "" : ", ", value, name);
  };
  part(p.size, "Größe");
  part(p.dexterity, "GE");
  part(p.armor, "Rüstung");
  part(p.shield, "Schild");
  part(p.natural, "natürlich");
  part(p.dodge, "Ausweichen");
  part(p.other, "sonstige");
  return Format("%d", p.total) + (parts.empty() ? "" : " (" + parts + ")") +
         Format(", Berührung %d, auf dem falschen Fuß %d", p.Touch(), FlatFooted(c, p));
}

bool HasFeat(const Char* c, const char* name) {
  for (int i = 0; i < c->featCount; ++i)
    if (c->feats[i] >= 0 && c->feats[i] < gSource.featCount && gSource.feats[c->feats[i]].name == name) return true;
  return false;
}

int Grapple(const Char* c) {
  return AttackBase(c) + (c->absent[0] ? 0 : c->MST) + 4 * SizeStep(c) + (HasFeat(c, "VerbesserterRingkampf") ? 4 : 0);
}

// An item's name without the blanks some labels carry.
std::string Label(const CharItem& it) {
  std::string text = ItemLabel(it);
  size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::string WeaponDamage(const Char* c, const CharItem& it) {
  std::string text = Format("%dW%d", it.damage[0], it.damage[1]);
  if (int bonus = WeaponDamageBonus(it)) text += Format("%+d", bonus);
  int threat = ThreatLowest(c, it);
  return text + (threat < 20 ? Format(", %d-20/x%d", threat, it.criticalMultiplier) : Format(", x%d", it.criticalMultiplier));
}

// The attack lines: a single attack of each way to fight, and the full attack (what is
// used together joined by "und", the ways by "oder").
void Attacks(const Char* c, std::string* single, std::string* full) {
  std::vector<std::string> singles, fulls;
  std::string together, alone;
  std::vector<std::string> others;
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
    const CharItem& it = c->items[i];
    if (it.equipType != 0 || it.damage[0] <= 0) continue;
    std::vector<int> bonuses = WeaponAttackBonuses(c, it);
    if (bonuses.empty()) continue;
    std::string all;
    for (int b : bonuses) all += Format(all.empty() ? "%+d" : "/%+d", b);
    singles.push_back(Format("%s %+d (%s)", Label(it).c_str(), bonuses[0], WeaponDamage(c, it).c_str()));
    std::string entry = Label(it) + " " + all + " (" + WeaponDamage(c, it) + ")";
    if (it.primary || it.secondary)
      together += (together.empty() ? "" : " und ") + entry;
    else
      others.push_back(entry);
  }
  if (!together.empty()) fulls.push_back(together);
  for (const std::string& e : others) fulls.push_back(e);
  if (c->Unarmed1 > 0) {
    std::string damage = Format("%dW%d", c->Unarmed1, c->Unarmed2) + (c->MST ? Format("%+d", c->MST) : "");
    singles.push_back(Format("Waffenloser Schlag %+d (%s)", MeleeAttack(c).Total(), damage.c_str()));
    fulls.push_back(Format("Waffenloser Schlag %+d (%s, %d Angriffe)", MeleeAttack(c).Total(), damage.c_str(),
                           c->Attacks + c->MonkAttacks));
  }
  if (c->kind == 1)
    for (int category = 0; category < 4; ++category) {
      std::string first, all;
      for (int i = 0; i < c->attackCount && i < kNaturalAttacks; ++i) {
        const CharAttack& a = c->naturals[i];
        if (a.category != category) continue;
        const std::string name = AttackName(a);
        if (first.empty()) first = Format("%s %+d (%s)", name.c_str(), a.attack, AttackDamage(a).c_str());
        // Equal attacks read as a count, as the rule books write "7 bites +8".
        std::string bonuses = a.number > 1 && a.step == 0 ? Format("%+d", a.attack) : AttackBonuses(a, "/", "%+d");
        std::string count = a.number > 1 && a.step == 0 ? Format("%d × ", a.number) : std::string();
        all += (all.empty() ? "" : " und ") +
               Format("%s%s %s (%s)", count.c_str(), name.c_str(), bonuses.c_str(), AttackDamage(a).c_str());
      }
      if (!first.empty()) singles.push_back(first), fulls.push_back(all);
    }
  auto join = [](const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& p : parts) text += (text.empty() ? "" : " oder ") + p;
    return text.empty() ? std::string("—") : text;
  };
  *single = join(singles);
  *full = join(fulls);
}

// Monster abilities that act on a foe: the special attacks; every other is a quality.
bool AttackAbility(const std::string& key) {
  static const char* const kAttacks[] = {
      "Gift", "VerbessertesErgreifen", "Umschlingen", "Verschlingen", "Anspringen", "Zerfleischen", "Zerreißen",
      "Zertrampeln", "SchreckenerregendePräsenz", "Blickangriff", "Lähmung", "Energieentzug", "Attributsentzug",
      "Krankheit", "ZauberähnlicheFähigkeiten", "Herbeirufen", "Netz", "Festsaugen", "Blutsaugen", "Säure",
      "Zermalmen", "Schwanzfegen", "Versteinerung", "Einhüllen", "Hitze", "Furchtaura", "HinterhältigerAngriff",
      "HöllischeWunde", "Raserei", "PsiähnlicheFähigkeiten", "PsionischeKräfte", "Gestank", "Gebell",
      "Abscheulichkeit", "Todeszuckungen"};
  if (key.rfind("Odemwaffe", 0) == 0) return true;
  for (const char* a : kAttacks)
    if (key == a) return true;
  return false;
}

bool HasSpells(const Char* c, bool powers) {
  for (int s = 0; s < c->classCount && s < kMaxClassSlots; ++s)
    for (int level = 0; level < 10; ++level)
      if (c->spellsToDraw[s][level] >= 0 && Psionic(c, s) == powers) return true;
  return false;
}

void Special(const Char* c, std::string* attacks, std::string* qualities) {
  std::vector<std::string> a, q;
  auto add = [](std::vector<std::string>& list, const std::string& name) {
    if (!name.empty() && std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
  };
  if (c->Sneak > 0) add(a, Format("Hinterhältiger Angriff +%dW6", c->Sneak));
  if (!SpellLikeLines(c).empty()) add(a, "Zauberähnliche Fähigkeiten");
  if (HasSpells(c, false)) add(a, "Zauber");
  if (HasSpells(c, true)) add(a, "Psionische Kräfte");
  if (c->DarkVision > 0) add(q, "Dunkelsicht " + Metres(c->DarkVision));
  if (c->LowLightVision) add(q, "Dämmersicht");
  if (c->Evasion > 0) add(q, c->Evasion > 1 ? "Verbessertes Entrinnen" : "Entrinnen");
  if (c->UncannyDodge) add(q, "Reflexbewegung");
  if (c->MR > 0) add(q, Format("Zauberresistenz %d", c->MR));
  // A monster's abilities whose lines the creature kept (a skeleton loses them).
  const MonsterSource* m = MonsterOf(c);
  const char* text = c->specialText && c->specialText->data ? c->specialText->data : "";
  if (const int32_t* code = m ? m->abilityCode.Code() : nullptr)
    for (int i = 1; i <= code[0]; ++i) {
      if (code[i] < 0 || code[i] >= gSource.abilityCount) continue;
      const AbilitySource& x = gSource.abilities[code[i]];
      std::string key = x.name.c_str();
      // Named above with their figures.
      if ((key.rfind("Dunkelsicht", 0) == 0 && c->DarkVision > 0) || (key == "Dämmersicht" && c->LowLightVision) ||
          (key == "Zauberresistenz" && c->MR > 0) || (key == "Entrinnen" && c->Evasion > 0) ||
          (key == "Reflexbewegung" && c->UncannyDodge) || (key == "HinterhältigerAngriff" && c->Sneak > 0))
        continue;
      if (x.text.length && !strstr(text, x.text.c_str())) continue;
      add(AttackAbility(key) ? a : q, DisplayName(x));
    }
  auto join = [](const std::vector<std::string>& list) {
    std::string t;
    for (const std::string& s : list) t += (t.empty() ? "" : ", ") + s;
    return t.empty() ? std::string("—") : t;
  };
  *attacks = join(a);
  *qualities = join(q);
}

std::string Skills(const Char* c) {
  std::string text;
  for (int s = 0; s < c->skillCount; ++s) {
    const CharSkill& k = c->skills[s];
    if (k.skill < 0 || k.skill >= gSource.skillCount) continue;
    text += (text.empty() ? "" : ", ") + Format("%s %+d", SkillLabel(c, s).c_str(), k.total);
  }
  return text.empty() ? "—" : text;
}

// Feats with their parameters, one entry per feat; the weapon, armour and shield
// proficiencies stay out as the rule books leave them out.
std::string Feats(const Char* c) {
  auto proficiency = [](int feat) {
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < 3; ++k)
        if (gSource.proficiencyFeats[i][k] == feat) return true;
    return gSource.feats[feat].name == "Turmschilde";
  };
  std::vector<std::pair<int, std::string>> shown;
  for (int f = 0; f < c->featCount; ++f) {
    int feat = c->feats[f];
    if (feat < 0 || feat >= gSource.featCount || proficiency(feat)) continue;
    const std::string parameter = FeatParameterName(c, f);
    auto at = std::find_if(shown.begin(), shown.end(), [&](const auto& e) { return e.first == feat; });
    if (at == shown.end())
      shown.emplace_back(feat, parameter);
    else if (!parameter.empty())
      at->second += (at->second.empty() ? "" : ", ") + parameter;
  }
  std::string text;
  for (const auto& [feat, parameters] : shown)
    text += (text.empty() ? "" : ", ") + std::string(DisplayName(gSource.feats[feat])) +
            (parameters.empty() ? "" : " (" + parameters + ")");
  return text.empty() ? "—" : text;
}

std::string Organisation(const MonsterSource& m) {
  int low = std::max(m.orgMin, 1), high = std::max(m.orgMax, low);
  if (high == 1) return "Einzelgänger";
  if (low == 1) return Format("Einzelgänger oder Gruppe (2–%d)", high);
  return Format("Gruppe (%d–%d)", low, high);
}

std::string Treasure(const Char* c) {
  const MonsterSource* m = MonsterOf(c);
  if (!m) return "NSC-Ausrüstung";
  static const char* const kFactors[] = {"Keine", "Standard", "Doppelter Standard", "Dreifacher Standard",
                                         "Vierfacher Standard"};
  return m->treasure >= 0 && m->treasure < 5 ? kFactors[m->treasure] : Format("%dfacher Standard", m->treasure);
}

// Advancement: the hit-dice ranges of the row with the size each one grows to.
std::string Advancement(const MonsterSource& m) {
  std::string text;
  auto range = [&](int low, int high, int grow) {
    if (low < 1 || high < low) return;
    std::string dice = low == high ? Format("%d TW", low) : Format("%d–%d TW", low, high);
    text += (text.empty() ? "" : "; ") + dice + " (" + SizeName(std::min(m.size + grow, gSource.sizeCount - 1)) + ")";
  };
  if (m.hdMax > 0) {
    int firstEnd = m.hdInc >= 1 ? m.hdInc - 1 : m.hdMax;
    range(m.hdMin, firstEnd, 0);
    if (m.hdInc >= 1) range(m.hdInc, m.hdInc2 >= 1 ? m.hdInc2 - 1 : m.hdMax, 1);
    if (m.hdInc2 >= 1) range(m.hdInc2, m.hdMax, 2);
  }
  // Rows that may take class levels advance by them, if they are clever enough to learn.
  if (text.empty()) return m.mixed && m.abilities[3] >= 3 ? "Nach Charakterklasse" : "—";
  return text;
}

// The block's title: the monster or race, template and classes.
std::string Title(const Char* c) {
  std::string title;
  if (const MonsterSource* m = MonsterOf(c))
    title = DisplayName(*m);
  else
    title = RaceName(c);
  if (c->templateIndex > 0) title += std::string(" (") + TemplateName(c) + ")";
  for (int s = c->kind == 1 ? SpellCharSlots(c) : 0; s < c->classCount && s < kMaxClassSlots; ++s)
    if (const CharSource* k = ClassAt(c->classes[s]))
      title += (s == (c->kind == 1 ? SpellCharSlots(c) : 0) ? ", " : "/") + Format("%s %d", DisplayName(*k), c->classLevels[s]);
  return title;
}

struct Out {
  std::vector<std::string>* lines;
  size_t width;
  // A long entry wraps at word boundaries, its continuation lines indented; a word wider
  // than the line is broken.
  // `lead` blanks go before the first line, `indent` before each further one.
  void Add(const std::string& text, size_t indent = 2, size_t lead = 0) {
    std::vector<std::string> words = Wrap(text, width - lead);
    if (words.empty()) {
      lines->push_back("");
      return;
    }
    std::string rest;
    for (size_t i = 1; i < words.size(); ++i) rest += (rest.empty() ? "" : " ") + words[i];
    Push(std::string(lead, ' ') + words[0]);
    if (!rest.empty())
      for (const std::string& line : Wrap(rest, width - indent)) Push(std::string(indent, ' ') + line);
  }
  void Push(std::string line) {
    while (CodePoints(line) > width) {
      std::string head = Cut(line, width);
      lines->push_back(head);
      line = "  " + line.substr(head.size());
    }
    lines->push_back(line);
  }
  void Entry(const char* label, const std::string& value) { Add(std::string(label) + ": " + value); }
};

void Possessions(const Char* c, Out& out);

void Block(const Char* c, Out& out, const std::string& heading) {
  const MonsterSource* m = MonsterOf(c);
  // A hoard (treasure only) is no creature: its items and their value.
  if (c->kind == 0 && c->classCount == 0 && c->race < 0) {
    out.Add(heading + "Schatz");
    Possessions(c, out);
    return;
  }
  out.Add(heading + Title(c));
  std::string type;
  if (m) {
    int t = c->creatureType >= 0 && c->creatureType < gSource.monsterTypeCount ? c->creatureType : m->type;
    type = Format("%s, %s", SizeName(MonsterSize(c)), t >= 0 && t < gSource.monsterTypeCount ? DisplayName(gSource.monsterTypes[t]) : "");
  } else {
    type = Format("%s, Humanoid (%s)", SizeName(RaceSize(c)), RaceName(c));
  }
  out.Entry("Größe/Typ", type);
  std::string expression = HitDiceExpression(c);
  out.Entry("Trefferwürfel",
            Format("%s (%d TP, Durchschnitt %d)", expression.c_str(), c->shownHitPoints, AverageHitPoints(c)));
  out.Entry("Initiative", Format("%+d", c->Init + c->MGE));
  out.Entry("Bewegungsrate", Metres(c->Range) + Format(" (%d Felder)", (int)std::floor(c->Range / 1.5 + 1e-6)));
  out.Entry("Rüstungsklasse", ArmorText(c));
  out.Entry("Grundangriffsbonus/Ringkampf", Format("%+d/%+d", c->GA + c->epicAttack, Grapple(c)));
  std::string single, full;
  Attacks(c, &single, &full);
  out.Entry("Angriff", single);
  out.Entry("Vollständiger Angriff", full);
  int step = SizeStep(c);
  int reach = m && m->reach >= 0 ? m->reach : kReachFeet[step + 4];
  out.Entry("Angriffsfläche/Reichweite",
            Metres(kSpaceFeet[step + 4] * kMetresPerFoot) + "/" + Metres(reach * kMetresPerFoot));
  std::string attacks, qualities;
  Special(c, &attacks, &qualities);
  out.Entry("Besondere Angriffe", attacks);
  out.Entry("Besondere Eigenschaften", qualities);
  out.Entry("Rettungswürfe",
            Format("Zähigkeit %+d, Reflex %+d, Wille %+d", Save(c, 2).Total(), Save(c, 0).Total(), Save(c, 1).Total()));
  static const char* const kAbilities[kAttributes] = {"St", "Ge", "Ko", "In", "We", "Ch"};
  std::string abilities;
  for (int a = 0; a < kAttributes; ++a)
    abilities += (a ? ", " : "") + std::string(kAbilities[a]) + " " +
                 (c->absent[a] ? std::string("—") : Format("%d", Abilities(c)[a]));
  out.Entry("Attribute", abilities);
  out.Entry("Fertigkeiten", Skills(c));
  out.Entry("Talente", Feats(c));
  if (m) out.Entry("Organisation", Organisation(*m));
  out.Entry("Herausforderungsgrad",
            c->mixed ? Format("%d (%d/%d)", c->cr + c->crShare, c->cr, c->crShare) : Format("%d", c->cr));
  out.Entry("Schätze", Treasure(c));
  std::string alignment = AlignmentName(c->alignment);
  std::string tendency = m ? AlignmentTendency(c) : "";
  if (alignment.empty()) alignment = "—";
  out.Entry("Gesinnung", tendency.empty() ? alignment : alignment + " (" + tendency + ")");
  if (m) out.Entry("Aufstieg", Advancement(*m));
  const int r = c->subRace >= 0 ? c->subRace : c->race;
  const RaceSource* race = c->kind == 0 && r >= 0 && r < gSource.raceCount ? &gSource.races[r] : nullptr;
  out.Entry("Stufenanpassung", race ? Format("%+d", race->crModifier) : "—");

  // The special abilities, one per line, as the sheet's notes read them (spell-like
  // abilities among them); the template option is the head's template already.
  std::vector<std::string> abilityLines;
  for (const std::string& line : NoteLines(c))
    if (!line.empty() && line.rfind("Template: ", 0) != 0) abilityLines.push_back(line);
  if (!abilityLines.empty()) {
    out.lines->push_back("");
    out.Add("Besondere Fähigkeiten:");
    for (const std::string& line : abilityLines) out.Add(line, 4, 2);
  }

  // Spells and powers by level with their save DCs.
  bool spellsHead = false;
  for (int slot = 0; slot < c->classCount && slot < kMaxClassSlots; ++slot) {
    const CharSource* k = ClassAt(c->classes[slot]);
    if (!k) continue;
    if (!CastsAnything(c, slot)) continue;
    if (!spellsHead) {
      out.lines->push_back("");
      out.Add(HasSpells(c, false) ? (HasSpells(c, true) ? "Zauber und Kräfte:" : "Zauber:") : "Kräfte:");
      spellsHead = true;
    }
    if (k->powerType != 0) {
      out.Add(Format("%s (Kraftpunkte %d):", DisplayName(*k), c->PowerPoints), 4, 2);
      for (int level = 0; level < 10; ++level) {
        if (c->spellsToDraw[slot][level] <= 0) continue;
        std::string names;
        for (int p : ChosenAt(c, slot, level, gSource.powerCount))
          names += (names.empty() ? "" : ", ") + Format("%s (SG %d)", PowerName(p), PowerDC(c, slot, p, level));
        out.Add(Format("Grad %d (%d bekannt): ", level, c->spellsKnown[slot][level]) + (names.empty() ? "—" : names), 6, 4);
      }
      continue;
    }
    out.Add(Format("%s (Zauberstufe %d):", DisplayName(*k), c->casterLevel[slot]), 4, 2);
    for (int level = 0; level < 10; ++level) {
      if (c->spellsToDraw[slot][level] < 0) continue;
      std::string names;
      for (int sp : ChosenAt(c, slot, level, gSource.spellCount))
        names += (names.empty() ? "" : ", ") + std::string(SpellName(sp));
      out.Add(SpellLevelHead(c, slot, level) + (names.empty() ? "—" : names), 6, 4);
    }
    if (k->domains > 0) {
      std::string names = DomainSpellList(c);
      if (!names.empty()) out.Add("Domänenzauber: " + names, 6, 4);
    }
  }

  Possessions(c, out);

  // Companions: blocks of their own.
  auto companion = [&out](const std::string& heading, const Char* k) {
    if (!k) return;
    out.lines->push_back("");
    Block(k, out, heading);
  };
  companion("Vertrauter: ", c->familiarChar);
  companion("Reittier: ", c->mountChar);
  companion("Teuflischer Diener: ", c->servantChar);
  for (int i = 0; i < c->companionCount && i < kMaxCompanions; ++i)
    companion(Format("Tiergefährte (%d / %d): ", i + 1, c->companionCount), c->companionChars[i]);
}

// Possessions with their prices: the own equipment, then the treasure.
void Possessions(const Char* c, Out& out) {
  std::string own, treasure;
  for (int i = 0; i < c->itemCount && i < kMaxItems; ++i) {
    const CharItem& it = c->items[i];
    std::string& list = i >= c->treasureIndex ? treasure : own;
    list += (list.empty() ? "" : ", ") + Label(it) + Format(" (%d GM)", it.value + it.price);
  }
  if (!own.empty() || !treasure.empty() || c->money) {
    out.lines->push_back("");
    if (!own.empty()) out.Entry("Besitz", own);
    if (!treasure.empty()) out.Entry("Schatz", treasure);
    out.Entry("Wert", Format("%d GM, davon Geld %d GM", c->wealth, c->money));
  }
}

}  // namespace

std::string HitDiceExpression(const Char* c) {
  std::string text;
  for (const Dice& d : HitDice(c)) {
    if (!text.empty()) text += '+';
    text += Format("%dW%d", d.count, d.faces);
  }
  int fixed = FixedHitPoints(c);
  if (text.empty()) return Format("%d", fixed);
  return fixed ? text + Format("%+d", fixed) : text;
}

std::vector<std::string> StatBlock(const Char* c, int width) {
  std::vector<std::string> lines;
  Out out{&lines, (size_t)std::max(width, 20)};
  Block(c, out, "");
  return lines;
}

}  // namespace RUNTIME_NS
