// Where items get their magic and price: enhancement and effect rows drawn within the
// budget, protective items, and the hoards a creature or a treasure-only run finds.
#include "generator/treasure.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "generator/creature_ops.h"
#include "generator/equipment.h"
#include "generator/scratch.h"
#include "generator/script_binding.h"
#include "generator/spells.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "random/decisions.h"
#include "random/types.h"
#include "script/compile.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

constexpr int32_t kCeiling = 500000000;
constexpr int kEffectTries = 100;  // an item's effect choices before the cheapest is taken

// The treasure kinds of a hoard; kinds 3 to 13 name the equipment of that name.
const char* const kTreasureKinds[14] = {"Waffe",  "Rüstung",    "Schild", "Ring",    "Amulett", "Umhang",  "Stiefel",
                                        "Gürtel", "Handschuhe", "Helm",   "Schätze", "Pfeile",  "Armreif", "Weste"};

bool TreasureMode(const Char* c) { return c->record && c->record[rec::kTreasureOnly] != 0; }

// The effect slot column of an item kind, -1 when effects have no slot there.
int SlotOf(int kind) {
  switch (kind) {
    case 0:
    case 11:
      return 0;  // weapon
    case 1:
      return 1;  // armour
    case 2:
      return 2;  // shield
    case 9:
      return 3;  // helmet
    case 8:
      return 4;  // gloves
    case 6:
      return 5;  // boots
    case 7:
      return 6;  // belt
    case 5:
      return 7;  // cloak
    case 3:
      return 8;  // ring
    case 4:
      return 9;  // amulet
    default:
      return -1;
  }
}

const char* ItemName(const CharItem& it) {
  return it.equipment >= 0 && it.equipment < gSource.equipmentCount ? gSource.equipment[it.equipment].name.c_str() : "";
}

// Strength an effect's variable script leaves in the temporary m (1 unless it changes it).
// The strengths found during one item's tries. A strength script that is a plain formula
// gives the same result and leaves the same temporaries at every try, since the carrier's
// fields do not change between them: it runs once.
struct StrengthMemo {
  struct Entry {
    int effect;
    int32_t written;  // the temporaries it assigns
    int32_t temps[26];
  };
  static constexpr int kEntries = 16;
  Entry entries[kEntries];
  int count = 0;
};

enum ScriptKind : uint8_t { kKeeps = 1, kUndoable = 2, kChangesMore = 3 };

// What an effect's scripts may do, looked at once per effect and thread: what its text
// script may do to the carrier, and for its strength script the bits of the temporaries
// it assigns (-1 when it is no plain formula).
struct EffectFacts {
  bool known = false;
  uint8_t kind = 0;
  int32_t formula = -1;
};

const EffectFacts& FactsOf(int effect) {
  auto find = [](int e, EffectFacts* f) {
    const EffectSource& x = gSource.effects[e];
    f->kind = ScriptKeepsCreature(x.effectScript.data) ? kKeeps
              : ScriptUndoable(x.effectScript.data)    ? kUndoable
                                                       : kChangesMore;
    f->formula = ScriptFormulaTemporaries(x.variableScript.data);
    f->known = true;
  };
  constexpr int kKnown = 1024;
  thread_local EffectFacts facts[kKnown];
  thread_local EffectFacts beyond;
  thread_local uint32_t generation = 0;
  thread_local const EffectSource* table = nullptr;
  if (effect >= kKnown) {
    find(effect, &beyond);
    return beyond;
  }
  if (generation != gSourceGeneration || table != gSource.effects) {
    for (EffectFacts& f : facts) f = EffectFacts{};
    generation = gSourceGeneration;
    table = gSource.effects;
  }
  if (!facts[effect].known) find(effect, &facts[effect]);
  return facts[effect];
}

int32_t StrengthFormula(int effect) { return FactsOf(effect).formula; }

int32_t EffectStrength(Char* c, CharItem* it, int effect, StrengthMemo* memo) {
  int32_t* temps = Temporaries();
  temps['m' - 'a'] = 1;
  const EffectSource& e = gSource.effects[effect];
  if (!e.variableScript.data) return temps['m' - 'a'];
  bool remember = memo && !DebugOn(2) && !gProcess.scriptTrace && StrengthFormula(effect) >= 0;
  if (remember)
    for (int i = 0; i < memo->count; ++i) {
      const StrengthMemo::Entry& m = memo->entries[i];
      if (m.effect != effect) continue;
      for (uint32_t bits = (uint32_t)m.written; bits; bits &= bits - 1) {
        int t = __builtin_ctz(bits);
        temps[t] = m.temps[t];
      }
      return temps['m' - 'a'];
    }
  RunScript(c, it, nullptr, e.variableScript.data, e.name.c_str(), -1, nullptr);
  if (remember && memo->count < StrengthMemo::kEntries) {
    StrengthMemo::Entry& m = memo->entries[memo->count++];
    m.effect = effect;
    m.written = StrengthFormula(effect);
    memcpy(m.temps, temps, sizeof m.temps);
  }
  return temps['m' - 'a'];
}

// The effects of two points and more, dearest first (by index among equals): the same
// for every item of a rule database, so sorted once per thread. A table too long to keep
// is sorted into `spare` (n places) at every call.
constexpr int kSortedEffects = 1024;

const int32_t* DearEffects(int* count, int32_t* spare) {
  thread_local int32_t dear[kSortedEffects];
  thread_local int dearCount = 0;
  thread_local uint32_t generation = 0;
  thread_local const EffectSource* table = nullptr;
  int n = gSource.effectCount;
  auto sortInto = [n](int32_t* list) {
    int listed = 0;
    for (int e = 0; e < n; ++e)
      if (gSource.effects[e].cost > 1) list[listed++] = e;
    std::sort(list, list + listed, [](int a, int b) {
      int32_t ca = gSource.effects[a].cost, cb = gSource.effects[b].cost;
      return ca != cb ? ca > cb : a < b;
    });
    return listed;
  };
  if (n > kSortedEffects) {
    *count = sortInto(spare);
    return spare;
  }
  if (generation != gSourceGeneration || table != gSource.effects) {
    dearCount = sortInto(dear);
    generation = gSourceGeneration;
    table = gSource.effects;
  }
  *count = dearCount;
  return dear;
}

// What an item's effect weights depend on besides its creature's level and the effects
// already used.
struct EffectRowKey {
  int slot;
  bool treasure, weapon, ranged;
  int64_t groups[4];  // the creature's classes in each effect group
  const ProfileSource* profile;
  int32_t profileWeight;
  bool operator==(const EffectRowKey&) const = default;
};

// The effect weights of a key: 0 for effects the item cannot carry at all.
void FillEffectRow(const EffectRowKey& k, int n, int32_t* row) {
  for (int e = 0; e < n; ++e) {
    const EffectSource& x = gSource.effects[e];
    if ((x.ranged != 0 && !k.weapon) || (x.ranged == 1 && !k.ranged) || (x.ranged == -1 && k.ranged) || x.multi == 2) {
      row[e] = 0;
      continue;
    }
    int64_t w = k.slot >= 0 ? x.slots[k.slot] : 0;
    if (!k.treasure)
      w *=
          k.groups[0] * x.groups[0] + k.groups[1] * x.groups[1] + k.groups[2] * x.groups[2] + k.groups[3] * x.groups[3];
    if (w) w = w * (x.cost2 / 100) * x.cost;
    row[e] = (int32_t)std::min<int64_t>(w, kCeiling);
  }
  // A profile's effects gain the profile weight again after every effect of the table:
  // an effect n places from the end gains it n times (each listing of it counts).
  if (k.profile)
    for (int j = 0; j < k.profile->effectCount; ++j) {
      int e = k.profile->effects[j];
      if (e < 0 || e >= n) continue;
      int64_t w = row[e];
      for (int times = n - e; times > 0 && w > 0 && w < kCeiling; --times)
        w = std::min<int64_t>(kCeiling, w * k.profileWeight);
      row[e] = (int32_t)w;
    }
}

// The rows of the last keys a thread used (a creature's items share a few) and the
// effects' points side by side; null for tables too long to keep.
struct EffectRows {
  const int32_t* row = nullptr;
  const int32_t* cost = nullptr;
  const int32_t* cost2 = nullptr;
};

const EffectRows& EffectRowsOf(const EffectRowKey& key) {
  constexpr int kKept = 128, kLongest = 512;
  struct Kept {
    EffectRowKey key;
    int32_t row[kLongest];
  };
  struct Cache {
    uint32_t generation = 0;
    const EffectSource* table = nullptr;
    int count = 0, next = 0;
    int32_t cost[kLongest], cost2[kLongest];
    Kept kept[kKept];
    EffectRows found;
  };
  thread_local Cache cache;
  thread_local EffectRows none;
  int n = gSource.effectCount;
  if (n > kLongest) return none;
  if (cache.generation != gSourceGeneration || cache.table != gSource.effects) {
    for (int e = 0; e < n; ++e) {
      cache.cost[e] = gSource.effects[e].cost;
      cache.cost2[e] = gSource.effects[e].cost2;
    }
    cache.count = cache.next = 0;
    cache.generation = gSourceGeneration;
    cache.table = gSource.effects;
  }
  cache.found.cost = cache.cost;
  cache.found.cost2 = cache.cost2;
  for (int i = 0; i < cache.count; ++i)
    if (cache.kept[i].key == key) {
      cache.found.row = cache.kept[i].row;
      return cache.found;
    }
  Kept& k = cache.kept[cache.next];
  cache.next = (cache.next + 1) % kKept;
  cache.count = std::max(cache.count, cache.next == 0 ? kKept : cache.next);
  k.key = key;
  FillEffectRow(key, n, k.row);
  cache.found.row = k.row;
  return cache.found;
}

bool IsArms(int kind) { return kind == 0 || kind == 1 || kind == 2 || kind == 11; }

int64_t Price(Char* c, CharItem* it, int count, int32_t used, bool store, StrengthMemo* memo = nullptr) {
  int kind = it->equipType;
  if (!IsArms(kind)) {
    int64_t sum = 0;
    for (int k = 0; k < count; ++k) sum += gSource.effects[it->effects[k]].cost2;
    int64_t n = count;
    int64_t price = n * n * (sum / (n > 1 ? n : 1));
    for (int k = 0; k < count; ++k) {
      int32_t m = EffectStrength(c, it, it->effects[k], memo);
      if (store) it->strengths[k] = m;
      if (m * m == 0)
        price /= 2;
      else
        price *= (int64_t)m * m;
    }
    return price;
  }
  int64_t total = it->enhancement + used;
  for (int k = 0; k < count; ++k) {
    int32_t m = EffectStrength(c, it, it->effects[k], memo);
    int64_t cap = std::min<int64_t>(10, (it->enhancement + it->effectCount) * 3 / 2);
    if (total + m - 1 > cap)
      m = 1;
    else if (m > 1)
      total += m - 1;
    if (store) it->strengths[k] = m;
  }
  int64_t unit = EnhancementUnit(c, kind);
  int64_t price = total * total * unit + (it->attackType == 2 ? SecondHeadPrice(c, *it) : 0);
  for (int k = 0; k < count; ++k) {
    const EffectSource& e = gSource.effects[it->effects[k]];
    int64_t base = (int64_t)e.cost * e.cost * unit;
    if (e.cost2 > base) price += e.cost2 - base;
  }
  return price;
}

// The price of arms before their effects' strengths, which can only raise it.
int64_t ArmsPriceFloor(const Char* c, const CharItem* it, int count, int32_t used) {
  int64_t total = it->enhancement + used;
  int64_t unit = EnhancementUnit(c, it->equipType);
  int64_t price = total * total * unit + (it->attackType == 2 ? SecondHeadPrice(c, *it) : 0);
  for (int k = 0; k < count; ++k) {
    const EffectSource& e = gSource.effects[it->effects[k]];
    int64_t base = (int64_t)e.cost * e.cost * unit;
    if (e.cost2 > base) price += e.cost2 - base;
  }
  return price;
}

// SRD 3.5 arms: an enhancement of +5 at most and +10 with the abilities' points; the
// system's own rules take any.
bool ArmsWithinBonusCap(const Char* c, const CharItem* it, int32_t used) {
  if (!Srd35(c) || !IsArms(it->equipType)) return true;
  return it->enhancement <= EnhancementCeiling(c) && it->enhancement + used <= 10;
}

// Every chosen effect's strength is a plain formula or none.
bool FormulaStrengths(const CharItem* it, int count) {
  for (int k = 0; k < count; ++k) {
    int e = it->effects[k];
    if (gSource.effects[e].variableScript.data && StrengthFormula(e) < 0) return false;
  }
  return true;
}

// A weapon, armour or shield of a hoard: rare records take part one draw in `rare`.
int DrawArms(IsaacState* state, int kind) {
  int m = gSource.equipmentCount;
  Scratch<int32_t, 1024> weights((size_t)m, 0);
  for (int e = 0; e < m; ++e) {
    const EquipSource& x = gSource.equipment[e];
    if (x.equipType != kind) continue;
    weights[(size_t)e] = random(state, 0, x.rare > 0 ? x.rare : 0, "", 0) == 0 ? x.probability : 0;
  }
  return AdvancedRand(state, m, weights.data(), 4, &gSource.equipment[0].name.text, sizeof(EquipSource),
                      "Gegenstand wählen!", 0, true, 0, false);
}

}  // namespace

void Pay(Char* c, int64_t price) {
  int64_t money = (int64_t)c->money - price;
  if (money < 0) {
    c->budget += (int32_t)-money;
    money = 0;
  }
  c->money = (int32_t)money;
}

void EquipItem(Char* c, int equipment, int number, bool buy) {
  if (number < 0 || number >= kMaxItems) return;
  CharItem& it = c->items[number];
  it = CharItem{};
  if (equipment < 0 || equipment >= gSource.equipmentCount) return;
  const EquipSource& e = gSource.equipment[equipment];
  it.equipment = equipment;
  it.equipType = e.equipType;
  it.damage[0] = e.damageCount;
  it.damage[1] = e.damageDie;
  it.damage[2] = e.damageThird;
  it.size = e.size;
  it.type = e.type;
  it.critical = e.critical;
  it.criticalMultiplier = e.criticalMultiplier;
  it.criticalFurther = e.further;
  it.attackType = e.attackType;
  it.armor = e.armor;
  it.maxDex = e.maxDex;
  it.penalty = e.penalty;
  it.spellFailure = e.spellFailure;
  it.metal = e.metal;
  if (buy) {
    it.price = e.price;
    Pay(c, e.price);
  }
}

namespace {

uint8_t EffectScriptKind(int effect) { return FactsOf(effect).kind; }

}  // namespace

// The naming step: each chosen effect's script applies it to the wearer and says
// in a short text what it does; the texts are packed into the item.
static void NameEffects(Char* c, CharItem* it) {
  memset(it->effectTexts, 0, sizeof it->effectTexts);
  // Treasure is carried, not worn: its scripts run on a copy so that only their texts remain.
  // Most effect scripts only write their text; the others write fields and typed bonuses,
  // which are taken back afterwards. Only scripts that change more need the copy.
  Char* wearer = c;
  bool keeps = true, undoable = true;
  for (int k = 0; k < it->effectCount && k < kItemEffects; ++k) {
    uint8_t kind = EffectScriptKind(it->effects[k]);
    keeps = keeps && kind == kKeeps;
    undoable = undoable && kind != kChangesMore;
  }
  std::optional<ScriptUndo> undo;
  if (TreasureMode(c) && !keeps && undoable) undo.emplace(c);
  if (TreasureMode(c) && !keeps && !undoable) {
    wearer = static_cast<Char*>(mallocloga(sizeof(Char), "NameEffects-Scratch"));
    new (wearer) Char(*c);
    wearer->bonuses = nullptr;
  }
  // The thread's scratch text when the creature has one (every creation does).
  TextBuffer* text = c->context.effectText ? c->context.effectText : TextCreate("NameEffects-Text");
  size_t at = 0;
  for (int k = 0; k < it->effectCount && k < kItemEffects; ++k) {
    const EffectSource& e = gSource.effects[it->effects[k]];
    text->length = 0;
    if (e.effectScript.data) RunScript(wearer, it, text, e.effectScript.data, e.name.c_str(), -1, text);
    if (!TreasureMode(c)) ApplyEffectExtras(c, it->effects[k]);
    size_t n = std::min(text->length, sizeof it->effectTexts - 1 - at);
    // A text cut short ends before a character, never inside one.
    while (n > 0 && n < text->length && ((unsigned char)text->data[n] & 0xC0) == 0x80) --n;
    it->effectTextAt[k] = (int16_t)at;
    if (n) memcpy(it->effectTexts + at, text->data, n);
    at += n;
    if (at < sizeof it->effectTexts - 1) it->effectTexts[at++] = 0;
  }
  if (text != c->context.effectText) TextDestroy(text);
  if (wearer != c) {
    FreeCharBonuses(wearer);
    wearer->~Char();
    freeloga(wearer);
  }
}

// The configuration chosen: paid, its effects named and (for a creature's own items)
// marked as done.
static void TakeEffects(Char* c, CharItem* it, int64_t price, bool treasure) {
  Pay(c, price);
  NameEffects(c, it);
  if (!treasure && c->context.effectDone)
    for (int e = 0; e < it->effectCount; ++e) c->context.effectDone[it->effects[e]] = 1;
  if (!strstr(it->label, "RK-Armbänder")) it->value += (int32_t)price;
  DebugPrint(2, "\n\nSpend %d from %d Money\n\n", (int)price, c->money);
}

// The effect tables are small: their weights stay on the stack unless a table grows.
constexpr int kStackEffects = 512;

// The weight of each effect for this item (its slot, the creature's profile and classes),
// 0 for those too costly for the level or already taken; `costs` holds their points.
static void EffectWeights(const Char* c, const CharItem* it, int n, int32_t* weights, int32_t* saved, int32_t* costs) {
  bool treasure = TreasureMode(c);
  // How many of the creature's classes are in each effect group: an effect's group weight
  // counts once per such class.
  int64_t classesInGroup[4] = {};
  if (!treasure)
    for (int k = 0; k < c->classCount && k < kMaxClassSlots; ++k) {
      int cls = c->classes[k];
      if (cls < 0 || cls >= gSource.classCount) continue;
      int bits = gSource.classes[cls].effects;
      for (int g = 0; g < 4; ++g) classesInGroup[g] += (bits >> g) & 1;
    }
  EffectRowKey key{SlotOf(it->equipType), treasure, it->equipType == 0, it->attackType == 4, {}, nullptr, 0};
  std::copy(classesInGroup, classesInGroup + 4, key.groups);
  if (c->profileMode && c->profile >= 0) {
    key.profile = &gSource.profiles[c->profile];
    key.profileWeight = c->profileWeight;
  }
  const EffectRows& rows = EffectRowsOf(key);
  const int32_t* row = rows.row;
  if (!row) {
    FillEffectRow(key, n, saved);
    row = saved;
  }
  int64_t levelLimit = c->Level < 0 ? -1 : 400 * (int64_t)c->Level * c->Level;
  const int32_t* done = c->context.effectDone;
  for (int e = 0; e < n; ++e) {
    int32_t cost2 = rows.cost2 ? rows.cost2[e] : gSource.effects[e].cost2;
    costs[e] = rows.cost ? rows.cost[e] : gSource.effects[e].cost;
    // Too costly for the level when sqrt(cost2) / 20 > Level, in whole numbers.
    bool out = (cost2 >= 0 && (int64_t)cost2 > levelLimit) || (done && done[e]);
    weights[e] = saved[e] = out ? 0 : row[e];
  }
}

namespace {

// The draws of the tries: up to a hundred tries draw from the same weights; each try takes
// out what it drew (and arms what they cannot afford), and the next try puts exactly
// those back.
class EffectDraws {
 public:
  EffectDraws(int32_t* weights, int32_t* saved, const int32_t* costs, int n, const CharItem* it)
      : weights_(weights),
        saved_(saved),
        costs_(costs),
        n_(n),
        firstDropped_(DropBeyondAllPoints(it)),
        table_(weights_, n_),
        changed_((size_t)n + kItemEffects) {}

  // One try: draws the item's effects into it; returns the points they use.
  int32_t Draw(IsaacState* state, CharItem* it) {
    Restore();
    int32_t used = 0;
    int k = 0;
    int dropped = firstDropped_;
    while (used < it->effectCount && k < kItemEffects) {
      if (IsArms(it->equipType)) DropUnaffordable(it->effectCount - k, &dropped);
      char named[128];
      const char* label = "Effeckt wählen! ()";
      if (gRandom.labelFlag) {
        snprintf(named, sizeof named, "Effeckt wählen! (%s)", ItemName(*it));
        label = named;
      }
      int chosen = table_.Pick(state, &gSource.effects[0].name.text, sizeof(EffectSource), label, 0, true, 0, false);
      if (chosen < 0) break;
      const EffectSource& x = gSource.effects[chosen];
      it->effects[k] = chosen;
      if (x.multi == 0) it->effectCount = k + 1;
      TakeOut(chosen);
      used += IsArms(it->equipType) && it->equipType != 11 ? x.cost : 1;
      ++k;
    }
    it->effectCount = k;
    return used;
  }

 private:
  // The first draw of every try drops the same effects (those dearer than all the item's
  // points): they leave the saved weights once, and each try goes on from there.
  int DropBeyondAllPoints(const CharItem* it) {
    int dropped = 0;
    if (IsArms(it->equipType) && it->effectCount >= 1)
      for (; dropped < dearCount_ && costs_[dear_[dropped]] > it->effectCount; ++dropped)
        weights_[dear_[dropped]] = saved_[dear_[dropped]] = 0;
    return dropped;
  }
  // Puts back what the last try took out.
  void Restore() {
    if (lost_) {
      memcpy(weights_, saved_, sizeof(int32_t) * (size_t)n_);
      table_.Resum();
      changes_ = 0;
      lost_ = false;
    }
    while (changes_ > 0) {
      int e = changed_[(size_t)--changes_];
      table_.Set(e, saved_[e]);
    }
  }
  void TakeOut(int e) {
    if (e < 0 || e >= n_) return;
    if (changes_ < (int)changed_.size())
      changed_[(size_t)changes_++] = e;
    else
      lost_ = true;
    table_.Set(e, 0);
  }
  // Arms drop effects dearer than the points left; while a point is left, only effects
  // of two points and more can drop. Dearest first: as the points left only shrink during
  // a try, what it has dropped so far is a prefix of this list.
  void DropUnaffordable(int32_t points, int* dropped) {
    if (points >= 1) {
      for (; *dropped < dearCount_ && costs_[dear_[*dropped]] > points; ++*dropped) {
        int e = dear_[*dropped];
        if (weights_[e] != 0) TakeOut(e);
      }
    } else {
      for (int e = 0; e < n_; ++e)
        if (costs_[e] > points && weights_[e] != 0) TakeOut(e);
    }
  }

  int32_t* weights_;
  int32_t* saved_;
  const int32_t* costs_;
  int n_;
  int dearCount_ = 0;
  Scratch<int32_t, 1> dearSpare_{n_ > kSortedEffects ? (size_t)n_ : 0};
  // Dearest first; declared after dearCount_ and dearSpare_, which it fills and uses.
  const int32_t* dear_ = DearEffects(&dearCount_, dearSpare_.data());
  int firstDropped_;
  WeightedTable table_;
  Scratch<int32_t, kStackEffects + kItemEffects> changed_;
  int changes_ = 0;
  bool lost_ = false;  // more changes than the list holds: the next try starts from a copy
};

}  // namespace

// Arms turn the points their effects left unused into enhancement, as far as the level's
// draw and the creature's ceiling allow.
static void EnhanceWithUnusedPoints(Char* c, CharItem* it, int32_t used) {
  if (!IsArms(it->equipType)) return;
  if (used < it->secondEffect) {
    int32_t rest = it->secondEffect - used;
    int32_t limit = EnhancementDraw(c->context.random, c->Level, -1) - it->enhancement;
    if (rest > limit) rest = limit;
    rest = std::min(rest, EnhancementCeiling(c) - it->enhancement);
    if (rest > 0) it->enhancement += rest;
  }
  it->secondEffect = used;
}

void DoEffects2(Char* c, int number) {
  CharItem* it = &c->items[number];
  int n = gSource.effectCount;
  if (n <= 0) return;
  it->secondEffect = it->effectCount;
  if (it->effectCount <= 0 && !DebugOn(2)) {
    // Nothing to choose: every try draws nothing and prices the bare enhancement, so
    // the first try's price is the one paid (the tries only print).
    it->effectCount = 0;
    if (IsArms(it->equipType)) it->secondEffect = 0;
    TakeEffects(c, it, Price(c, it, 0, 0, true), TreasureMode(c));
    return;
  }
  int32_t stackWeights[kStackEffects], stackSaved[kStackEffects], stackCosts[kStackEffects];
  TrackedPtr<int32_t> heapWeights, heapSaved, heapCosts;
  if (n > kStackEffects) {
    heapWeights.reset(static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)n, "DoEffects2-EffectProb")));
    heapSaved.reset(static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)n, "DoEffects2-EffectProbA")));
    heapCosts.reset(static_cast<int32_t*>(mallocloga(sizeof(int32_t) * (size_t)n, "DoEffects2-EffectCost")));
  }
  int32_t* weights = n > kStackEffects ? heapWeights.get() : stackWeights;
  int32_t* saved = n > kStackEffects ? heapSaved.get() : stackSaved;
  int32_t* costs = n > kStackEffects ? heapCosts.get() : stackCosts;
  EffectWeights(c, it, n, weights, saved, costs);

  const bool treasure = TreasureMode(c);
  const int entryCount = it->effectCount, entryEnhancement = it->enhancement;
  int64_t cheapestPrice = -1;
  StrengthMemo strengths;
  // A try changes the effects, their strengths, the enhancement and the counts; the
  // effect texts come only after the last try, so the copies leave them out.
  constexpr size_t kTried = offsetof(CharItem, effectTextAt);
  alignas(CharItem) unsigned char cheapest[kTried];
  memcpy(cheapest, it, kTried);
  EffectDraws draws(weights, saved, costs, n, it);
  const int64_t itemCeiling = ItemCeiling(c);
  for (int tries = 0;; ++tries) {
    it->effectCount = entryCount;
    it->enhancement = entryEnhancement;
    const int32_t used = draws.Draw(c->context.random, it);
    const int k = it->effectCount;
    EnhanceWithUnusedPoints(c, it, used);
    bool later = number + 1 < c->itemCount || c->equipmentFollows;
    int64_t allowed = later ? c->money / 3 : c->money;
    int64_t ceiling = itemCeiling - it->price - it->value;
    allowed = std::min(allowed, ceiling);
    // Strengths only raise the price of arms: a try whose price without them already
    // fails and is no cheaper than the cheapest seen needs no strength scripts, when
    // those are plain formulas (no draw, no trace, no debug print to keep).
    bool skip = false;
    int64_t price = 0;
    if (cheapestPrice >= 0 && IsArms(it->equipType) && !gDecide.chooseEverything && !DebugOn(2) &&
        !gProcess.scriptTrace) {
      price = ArmsPriceFloor(c, it, k, used);
      skip = price > allowed && price >= cheapestPrice && FormulaStrengths(it, k);
    }
    if (!skip) price = Price(c, it, k, used, true, &strengths);
    bool accepted = !skip && (gDecide.chooseEverything || (price <= allowed && ArmsWithinBonusCap(c, it, used)));
    if (!accepted) {
      if (!skip && (cheapestPrice < 0 || price < cheapestPrice)) {
        cheapestPrice = price;
        memcpy(cheapest, it, kTried);
      }
      DebugPrint(2, "Too Expensive %s %d %d\n", ItemName(*it), (int)price, c->money);
      // The hundredth try that fails takes the cheapest configuration seen.
      if (tries + 1 >= kEffectTries) {
        memcpy(static_cast<void*>(it), cheapest, kTried);
        price = cheapestPrice;
        accepted = true;
        // SRD 3.5: when no try kept within the gear ceiling and the bonus caps, the item
        // keeps its bare enhancement, which was bought within them.
        if (Srd35(c) && !gDecide.chooseEverything &&
            (price > ceiling || !ArmsWithinBonusCap(c, it, IsArms(it->equipType) ? it->secondEffect : 0))) {
          it->effectCount = 0;
          if (IsArms(it->equipType)) it->secondEffect = 0;
          it->enhancement = std::min(it->enhancement, entryEnhancement);
          price = Price(c, it, 0, 0, true);
        }
      }
    }
    if (accepted) {
      TakeEffects(c, it, price, treasure);
      return;
    }
  }
}

namespace {

struct Protection {
  int32_t bonus = 0;      // 0: no protective item
  int32_t unit = 0;       // gold per bonus squared
  const char* type = "";  // its bonus type
  bool armour = true;     // on the armour class, else on the saves
};

// A protective ring, amulet or cloak. The system's own rules: 2,000 gp times the bonus
// squared, at least +1, less only for the money; a ring or cloak deflects, an amulet is
// natural armour. SRD 3.5: a ring of protection deflects, an amulet of natural armour is an
// enhancement of natural armour (it stacks with natural armour), both 2,000 gp; a cloak of
// resistance raises the saves, 1,000 gp; each +5 at most, within the money and the gear
// ceiling, or none.
Protection ProtectionOf(Char* c, int kind) {
  IsaacState* state = c->context.random;
  Protection p;
  p.bonus = std::max(1, EnhancementDraw(state, c->Level, 0));
  if (!Srd35(c)) {
    p.unit = 2000;
    p.type = kind == 4 ? "Natürlich" : "Ablenkung";
    while (p.bonus >= 2 && (int64_t)p.bonus * p.bonus * p.unit > c->money / 3) --p.bonus;
    return p;
  }
  p.unit = kind == 5 ? 1000 : 2000;
  p.type = kind == 4 ? "Verbesserung" : kind == 5 ? "Resistenz" : "Ablenkung";
  p.armour = kind != 5;
  int64_t limit = std::min<int64_t>(c->money, ItemCeiling(c));
  if (TreasureMode(c)) limit = INT64_MAX;
  p.bonus = std::min(p.bonus, EnhancementCeiling(c));
  while (p.bonus >= 1 && (int64_t)p.bonus * p.bonus * p.unit > limit) --p.bonus;
  return p;
}

}  // namespace

void ProtectiveItem(Char* c) {
  int number = c->itemCount;
  CharItem* it = &c->items[number];
  IsaacState* state = c->context.random;
  int kind = it->equipType;
  it->effectCount = 0;
  if (kind == 3 || kind == 4 || kind == 5) {
    bool protective;
    int limit = c->Level >= 15 ? 3 : 2;
    if (TreasureMode(c))
      protective = YesNo(state, "Schutzgegenstand", 10, 1, 0);
    else if (c->itemArmorBonus * 2 < c->Level && c->protectiveItems < limit)
      protective = true;
    else if (c->protectiveItems < 2 && random(state, 0, 1, "Schutzgegenstand? (0 = Nein, 1 = Ja)", 0) == 1)
      protective = true;
    else
      protective = c->protectiveItems < 4 && YesNo(state, "Schutzgegenstand", 5, 1, 0);
    Protection p = protective ? ProtectionOf(c, kind) : Protection{};
    if (p.bonus > 0) {
      ++c->protectiveItems;
      int32_t b = p.bonus;
      int32_t price = b * b * p.unit;
      Pay(c, price);
      DebugPrint(2, "\n\nSpend %d from %d Money\n\n", price, c->money);
      it->value = price;
      if (p.armour) c->itemArmorBonus += b;
      snprintf(it->label, sizeof it->label, p.armour ? " Schutz%s +%d" : " Widerstands%s +%d", ItemName(*it), b);
      // Worn, it protects as its kind does; bonuses of one type do not stack. Treasure is
      // only carried.
      if (!TreasureMode(c)) {
        int type = FindByName(gSource.bonuses, gSource.bonusCount, p.type);
        if (p.armour) {
          AddCharBonus(c, &c->AC, b, type, ItemName(*it));
        } else {
          AddCharBonus(c, &c->RWRefRest, b, type, ItemName(*it));
          AddCharBonus(c, &c->RWWilRest, b, type, ItemName(*it));
          AddCharBonus(c, &c->RWZaehRest, b, type, ItemName(*it));
        }
      }
      return;
    }
  }
  int count = 0;
  while (YesNo(state, "Weiterer Effeckt", 2 * count * count * count, 1, 0)) ++count;
  it->effectCount = count;
  DoEffects2(c, number);
}

namespace {

// ---- The treasure table of SRD 3.5 (coins, goods and items by encounter level) ----

// A table line: up to d% `upTo`, `dice`d`die` × `times` of `what` (coins: 1 cp, 2 sp, 3 gp,
// 4 pp; goods: 1 gem, 2 art; items: 1 mundane, 2 minor, 3 medium, 4 major; 0 nothing).
struct TableLine {
  uint8_t upTo, dice, die, what;
  int32_t times;
};
struct TableLevel {
  TableLine coins[5], goods[3], items[4];
};

constexpr TableLevel kTable[20] = {
    {{{14, 0, 0, 0, 0}, {29, 1, 6, 1, 1000}, {52, 1, 8, 2, 100}, {95, 2, 8, 3, 10}, {100, 1, 4, 4, 10}},
     {{90, 0, 0, 0, 0}, {95, 1, 1, 1, 1}, {100, 1, 1, 2, 1}},
     {{71, 0, 0, 0, 0}, {95, 1, 1, 1, 1}, {100, 1, 1, 2, 1}}},
    {{{13, 0, 0, 0, 0}, {23, 1, 10, 1, 1000}, {43, 2, 10, 2, 100}, {95, 4, 10, 3, 10}, {100, 2, 8, 4, 10}},
     {{81, 0, 0, 0, 0}, {95, 1, 3, 1, 1}, {100, 1, 3, 2, 1}},
     {{49, 0, 0, 0, 0}, {85, 1, 1, 1, 1}, {100, 1, 1, 2, 1}}},
    {{{11, 0, 0, 0, 0}, {21, 2, 10, 1, 1000}, {41, 4, 8, 2, 100}, {95, 1, 4, 3, 100}, {100, 1, 10, 4, 10}},
     {{77, 0, 0, 0, 0}, {95, 1, 3, 1, 1}, {100, 1, 3, 2, 1}},
     {{49, 0, 0, 0, 0}, {79, 1, 3, 1, 1}, {100, 1, 1, 2, 1}}},
    {{{11, 0, 0, 0, 0}, {21, 3, 10, 1, 1000}, {41, 4, 12, 2, 1000}, {95, 1, 6, 3, 100}, {100, 1, 8, 4, 10}},
     {{70, 0, 0, 0, 0}, {95, 1, 4, 1, 1}, {100, 1, 3, 2, 1}},
     {{42, 0, 0, 0, 0}, {62, 1, 4, 1, 1}, {100, 1, 1, 2, 1}}},
    {{{10, 0, 0, 0, 0}, {19, 1, 4, 1, 10000}, {38, 1, 6, 2, 1000}, {95, 1, 8, 3, 100}, {100, 1, 10, 4, 10}},
     {{60, 0, 0, 0, 0}, {95, 1, 4, 1, 1}, {100, 1, 4, 2, 1}},
     {{57, 0, 0, 0, 0}, {67, 1, 4, 1, 1}, {100, 1, 3, 2, 1}}},
    {{{10, 0, 0, 0, 0}, {18, 1, 6, 1, 10000}, {37, 1, 8, 2, 1000}, {95, 1, 10, 3, 100}, {100, 1, 12, 4, 10}},
     {{56, 0, 0, 0, 0}, {92, 1, 4, 1, 1}, {100, 1, 4, 2, 1}},
     {{54, 0, 0, 0, 0}, {59, 1, 4, 1, 1}, {99, 1, 3, 2, 1}, {100, 1, 1, 3, 1}}},
    {{{11, 0, 0, 0, 0}, {18, 1, 10, 1, 10000}, {35, 1, 12, 2, 1000}, {93, 2, 6, 3, 100}, {100, 3, 4, 4, 10}},
     {{48, 0, 0, 0, 0}, {88, 1, 4, 1, 1}, {100, 1, 4, 2, 1}},
     {{51, 0, 0, 0, 0}, {97, 1, 3, 2, 1}, {100, 1, 1, 3, 1}}},
    {{{10, 0, 0, 0, 0}, {15, 1, 12, 1, 10000}, {29, 2, 6, 2, 1000}, {87, 2, 8, 3, 100}, {100, 3, 6, 4, 10}},
     {{45, 0, 0, 0, 0}, {85, 1, 6, 1, 1}, {100, 1, 4, 2, 1}},
     {{48, 0, 0, 0, 0}, {96, 1, 4, 2, 1}, {100, 1, 1, 3, 1}}},
    {{{10, 0, 0, 0, 0}, {15, 2, 6, 1, 10000}, {29, 2, 8, 2, 1000}, {85, 5, 4, 3, 100}, {100, 2, 12, 4, 10}},
     {{40, 0, 0, 0, 0}, {80, 1, 8, 1, 1}, {100, 1, 4, 2, 1}},
     {{43, 0, 0, 0, 0}, {91, 1, 4, 2, 1}, {100, 1, 1, 3, 1}}},
    {{{10, 0, 0, 0, 0}, {24, 2, 10, 2, 1000}, {79, 6, 4, 3, 100}, {100, 5, 6, 4, 10}},
     {{35, 0, 0, 0, 0}, {79, 1, 8, 1, 1}, {100, 1, 6, 2, 1}},
     {{40, 0, 0, 0, 0}, {88, 1, 4, 2, 1}, {99, 1, 1, 3, 1}, {100, 1, 1, 4, 1}}},
    {{{8, 0, 0, 0, 0}, {14, 3, 10, 2, 1000}, {75, 4, 8, 3, 100}, {100, 4, 10, 4, 10}},
     {{24, 0, 0, 0, 0}, {74, 1, 10, 1, 1}, {100, 1, 6, 2, 1}},
     {{31, 0, 0, 0, 0}, {84, 1, 4, 2, 1}, {98, 1, 1, 3, 1}, {100, 1, 1, 4, 1}}},
    {{{8, 0, 0, 0, 0}, {14, 3, 12, 2, 1000}, {75, 1, 4, 3, 1000}, {100, 1, 4, 4, 100}},
     {{17, 0, 0, 0, 0}, {70, 1, 10, 1, 1}, {100, 1, 8, 2, 1}},
     {{27, 0, 0, 0, 0}, {82, 1, 6, 2, 1}, {97, 1, 1, 3, 1}, {100, 1, 1, 4, 1}}},
    {{{8, 0, 0, 0, 0}, {75, 1, 4, 3, 1000}, {100, 1, 10, 4, 100}},
     {{11, 0, 0, 0, 0}, {66, 1, 12, 1, 1}, {100, 1, 10, 2, 1}},
     {{19, 0, 0, 0, 0}, {73, 1, 6, 2, 1}, {95, 1, 1, 3, 1}, {100, 1, 1, 4, 1}}},
    {{{8, 0, 0, 0, 0}, {75, 1, 6, 3, 1000}, {100, 1, 12, 4, 100}},
     {{11, 0, 0, 0, 0}, {66, 2, 8, 1, 1}, {100, 2, 6, 2, 1}},
     {{19, 0, 0, 0, 0}, {58, 1, 6, 2, 1}, {92, 1, 1, 3, 1}, {100, 1, 1, 4, 1}}},
    {{{3, 0, 0, 0, 0}, {74, 1, 8, 3, 1000}, {100, 3, 4, 4, 100}},
     {{9, 0, 0, 0, 0}, {65, 2, 10, 1, 1}, {100, 2, 8, 2, 1}},
     {{11, 0, 0, 0, 0}, {46, 1, 10, 2, 1}, {90, 1, 1, 3, 1}, {100, 1, 1, 4, 1}}},
    {{{3, 0, 0, 0, 0}, {74, 1, 12, 3, 1000}, {100, 3, 4, 4, 100}},
     {{7, 0, 0, 0, 0}, {64, 4, 6, 1, 1}, {100, 2, 10, 2, 1}},
     {{40, 0, 0, 0, 0}, {46, 1, 10, 2, 1}, {90, 1, 3, 3, 1}, {100, 1, 1, 4, 1}}},
    {{{3, 0, 0, 0, 0}, {68, 3, 4, 3, 1000}, {100, 2, 10, 4, 100}},
     {{4, 0, 0, 0, 0}, {63, 4, 8, 1, 1}, {100, 3, 8, 2, 1}},
     {{33, 0, 0, 0, 0}, {83, 1, 3, 3, 1}, {100, 1, 1, 4, 1}}},
    {{{2, 0, 0, 0, 0}, {65, 3, 6, 3, 1000}, {100, 5, 4, 4, 100}},
     {{4, 0, 0, 0, 0}, {54, 3, 12, 1, 1}, {100, 3, 10, 2, 1}},
     {{24, 0, 0, 0, 0}, {80, 1, 4, 3, 1}, {100, 1, 1, 4, 1}}},
    {{{2, 0, 0, 0, 0}, {65, 3, 8, 3, 1000}, {100, 3, 10, 4, 100}},
     {{3, 0, 0, 0, 0}, {50, 6, 6, 1, 1}, {100, 6, 6, 2, 1}},
     {{4, 0, 0, 0, 0}, {70, 1, 4, 3, 1}, {100, 1, 1, 4, 1}}},
    {{{2, 0, 0, 0, 0}, {65, 4, 8, 3, 1000}, {100, 4, 10, 4, 100}},
     {{2, 0, 0, 0, 0}, {38, 4, 10, 1, 1}, {100, 7, 6, 2, 1}},
     {{25, 0, 0, 0, 0}, {65, 1, 4, 3, 1}, {100, 1, 3, 4, 1}}},
};

// Above the 20th level: the 20th-level line and this many major items more (levels 21 to 30).
constexpr int kEpicMajorItems[10] = {1, 2, 4, 6, 9, 12, 17, 23, 31, 42};

// Gems and art objects: up to d% `upTo`, worth `dice`d`die` × `times` gp; each tier is
// one goods record of our data, named here.
struct Valuable {
  uint8_t upTo, dice, die;
  int32_t times;
  const char* name;
};
constexpr Valuable kGems[6] = {{25, 4, 4, 1, "Achat"},       {50, 2, 4, 10, "Blutstein"}, {70, 4, 4, 10, "Bernstein"},
                               {90, 2, 4, 100, "Aquamarin"}, {99, 4, 4, 100, "Smaragd"},  {100, 2, 4, 1000, "Diamant"}};
constexpr Valuable kArt[12] = {
    {10, 1, 10, 10, "Silberkelch"},          {25, 3, 6, 10, "Elfenbeinfigur"},    {40, 1, 6, 100, "Goldarmreif"},
    {50, 1, 10, 100, "Seidenwandteppich"},   {60, 2, 6, 100, "Silberkamm"},       {70, 3, 6, 100, "Goldpokal"},
    {80, 4, 6, 100, "Jadestatuette"},        {85, 5, 6, 100, "Goldkette"},        {90, 1, 4, 1000, "Juwelenkrone"},
    {95, 1, 6, 1000, "Prunkschwertscheide"}, {99, 2, 4, 1000, "Juwelenhalsband"}, {100, 2, 6, 1000, "Drachenbildnis"}};

// Alchemical items of the mundane items: d% up to `upTo`, `dice`d`die` pieces at `price`;
// a row our data lacks (no name) is drawn again.
struct Alchemical {
  uint8_t upTo, dice, die;
  int32_t price;
  const char* name;
};
constexpr Alchemical kAlchemical[8] = {{12, 1, 4, 20, "Alchemistenfeuer"},    {24, 2, 4, 10, nullptr},
                                       {36, 1, 4, 20, "Rauchstab"},           {48, 1, 4, 25, "Weihwasser"},
                                       {62, 1, 4, 50, "Gegengift"},           {74, 1, 1, 110, nullptr},
                                       {88, 1, 4, 50, "Verstrickungsbeutel"}, {100, 1, 4, 30, "Donnerstein"}};

// Magic items: the family by grade (minor, medium, major), d% up to: armour and shields,
// weapons, potions, rings, rods, scrolls, staffs, wands, wondrous items.
enum Family { kArmsArmour, kArmsWeapon, kPotion, kRing, kRod, kScroll, kStaff, kWand, kWondrous };
constexpr uint8_t kFamilies[3][9] = {
    {4, 9, 44, 46, 46, 81, 81, 91, 100}, {10, 20, 30, 40, 50, 65, 68, 83, 100}, {10, 20, 25, 35, 45, 55, 75, 80, 100}};
constexpr ItemFamily kNamedFamilies[9] = {ItemFamily::kArmour, ItemFamily::kWeapon, ItemFamily::kPotion,
                                          ItemFamily::kRing,   ItemFamily::kRod,    ItemFamily::kScroll,
                                          ItemFamily::kStaff,  ItemFamily::kWand,   ItemFamily::kWondrous};
// A family our data lacks (tools and gear) is drawn again. What a hoard has no room for
// becomes coins of its grade's average value.
constexpr int32_t kGradeAverage[3] = {1000, 10000, 40000};
constexpr int kDrawsAgain = 100;
constexpr int64_t kLacking = -1;
constexpr int32_t kMundaneAverage = 350;

// Armour and shields, weapons: d% up to, what (1 shield, 2 armour, 0 weapon; 3 specific
// armour, 4 specific shield, 5 specific weapon, 6 special ability and roll again), bonus.
struct ArmsLine {
  uint8_t upTo, what, bonus;
};
constexpr ArmsLine kArmour[3][18] = {
    {{60, 1, 1}, {80, 2, 1}, {85, 1, 2}, {87, 2, 2}, {89, 3, 0}, {91, 4, 0}, {100, 6, 0}},
    {{5, 1, 1},
     {10, 2, 1},
     {20, 1, 2},
     {30, 2, 2},
     {40, 1, 3},
     {50, 2, 3},
     {55, 1, 4},
     {57, 2, 4},
     {60, 3, 0},
     {63, 4, 0},
     {100, 6, 0}},
    {{8, 1, 3}, {16, 2, 3}, {27, 1, 4}, {38, 2, 4}, {49, 1, 5}, {57, 2, 5}, {60, 3, 0}, {63, 4, 0}, {100, 6, 0}}};
constexpr ArmsLine kWeapons[3][8] = {{{70, 0, 1}, {85, 0, 2}, {90, 5, 0}, {100, 6, 0}},
                                     {{10, 0, 1}, {29, 0, 2}, {58, 0, 3}, {62, 0, 4}, {68, 5, 0}, {100, 6, 0}},
                                     {{20, 0, 3}, {38, 0, 4}, {49, 0, 5}, {63, 5, 0}, {100, 6, 0}}};

// The market prices of a grade's table for specific items, rings and wondrous items: our
// specific items of that price take the table's place (kind: the base record's kind).
struct Band {
  int32_t low, high;
};
constexpr Band kSpecificArmour[3] = {{1100, 4150}, {1100, 18900}, {10200, 52260}};
constexpr Band kSpecificShield[3] = {{205, 3153}, {205, 17257}, {3153, 50170}};
constexpr Band kSpecificWeapon[3] = {{132, 3010}, {1500, 25715}, {10302, 142960}};
constexpr Band kRingPrices[3] = {{2000, 15000}, {4000, 28000}, {12000, 200000}};
constexpr Band kWondrousPrices[3] = {{50, 7400}, {7500, 27500}, {28000, 200000}};

int Percent(IsaacState* s, const char* label) { return random(s, 1, 100, label, 0); }

int Dice(IsaacState* s, int dice, int die, const char* label) {
  int sum = 0;
  for (int i = 0; i < dice; ++i) sum += random(s, 1, die, label, 0);
  return sum;
}

template <size_t N>
const TableLine& LineOf(const TableLine (&lines)[N], int roll) {
  for (const TableLine& l : lines)
    if (l.upTo && roll <= l.upTo) return l;
  return lines[0];
}

// A new treasure item at the end of the Char's items, null when they are full.
CharItem* NewHoardItem(Char* c, int equipment, bool buy) {
  if (c->itemCount >= kMaxItems || equipment < 0) return nullptr;
  int number = c->itemCount++;
  EquipItem(c, equipment, number, buy);
  CharItem& it = c->items[number];
  it.treasure = 1;
  return &it;
}

// Goods of one record, counted in pieces: the hoard's gems and art objects of a tier,
// alchemical items.
void AddGoods(Char* c, const char* name, int pieces, int64_t value, int64_t* coins) {
  int e = EquipmentNamed(name);
  if (e < 0) e = EquipmentNamed("Schätze");
  CharItem* it = NewHoardItem(c, e, false);
  if (!it) {
    *coins += value;
    return;
  }
  snprintf(it->label, sizeof it->label, "%d Stück", pieces);
  it->value = (int32_t)value;
  it->price = 0;
}

template <size_t N>
void RollValuables(Char* c, const Valuable (&table)[N], int count, const char* label, int64_t* coins) {
  IsaacState* s = c->context.random;
  int pieces[N] = {};
  int64_t value[N] = {};
  for (int i = 0; i < count; ++i) {
    int roll = Percent(s, label);
    size_t t = 0;
    while (t + 1 < N && roll > table[t].upTo) ++t;
    ++pieces[t];
    value[t] += (int64_t)Dice(s, table[t].dice, table[t].die, label) * table[t].times;
  }
  for (size_t t = 0; t < N; ++t)
    if (pieces[t]) AddGoods(c, table[t].name, pieces[t], value[t], coins);
}

// A named item of a family whose row stands on the grade's SRD table, drawn by the widths
// of the rows' d% ranges; when no row of the family has a width there, one whose price lies
// in the band (none: no band) with equal weight. -1 when there is none.
int DrawSpecific(IsaacState* s, ItemFamily family, int grade, const Band* band) {
  FamilyRows rows = RowsOf(family);
  const int32_t* weights = rows.widths[grade];
  int64_t sum = 0;
  for (int k = 0; k < rows.count; ++k) sum += weights[k];
  Scratch<int32_t, 512> byPrice((size_t)std::max(rows.count, 1));  // filled only when needed
  if (sum == 0) {
    for (int k = 0; k < rows.count; ++k) {
      int32_t price = gSource.specifics[rows.rows[k]].price;
      byPrice[(size_t)k] = band && price >= band->low && price <= band->high;
      sum += byPrice[(size_t)k];
    }
    weights = byPrice.data();
  }
  if (sum == 0) return -1;
  int k =
      AdvancedRand(s, rows.count, weights, 4, rows.names, sizeof(const char*), "Gegenstand wählen!", 0, true, 0, false);
  return k >= 0 ? rows.rows[k] : -1;
}

// A specific item into the hoard at its market price; false when there is no room.
bool AddSpecific(Char* c, int specific) {
  const SpecificSource& x = gSource.specifics[specific];
  CharItem* it = NewHoardItem(c, x.base, false);
  if (!it) return false;
  it->price = gSource.equipment[x.base].price;
  it->specific = specific;
  it->value = x.price - it->price;
  it->magic = 1;
  MakeNamedItem(c, *it, -1);
  return true;
}

// Magic arms of a grade: the bonus, special abilities (one point of effects each) or a
// specific item, by the grade's armour and shield or weapon table.
int64_t MagicArms(Char* c, int grade, bool weapon) {
  IsaacState* s = c->context.random;
  int abilities = 0;
  const ArmsLine* line = nullptr;
  for (;;) {
    int roll = Percent(s, weapon ? "Magische Waffe (W%)" : "Magische Rüstung (W%)");
    const ArmsLine* l = weapon ? kWeapons[grade] : kArmour[grade];
    while (roll > l->upTo) ++l;
    if (l->what != 6) {
      line = l;
      break;
    }
    if (abilities < kItemEffects) ++abilities;
  }
  if (line->what >= 3) {
    ItemFamily family = line->what == 3   ? ItemFamily::kArmour
                        : line->what == 4 ? ItemFamily::kShield
                                          : ItemFamily::kWeapon;
    const Band* bands = line->what == 3 ? kSpecificArmour : line->what == 4 ? kSpecificShield : kSpecificWeapon;
    int specific = DrawSpecific(s, family, grade, &bands[grade]);
    if (specific <= 0) return kLacking;
    return AddSpecific(c, specific) ? 0 : kGradeAverage[grade];
  }
  int kind = weapon ? 0 : line->what == 1 ? 2 : 1;
  int number = c->itemCount;
  CharItem* it = NewHoardItem(c, DrawArms(s, kind), true);
  if (!it) return kGradeAverage[grade];
  it->equipType = kind;
  it->enhancement = line->bonus;
  it->magic = 1;
  it->effectCount = abilities;
  // The item is what the table gives: no money limits its abilities.
  int32_t money = c->money, budget = c->budget;
  c->money = kCeiling;
  DoEffects2(c, number);
  c->money = money;
  c->budget = budget;
  it->value += MasterworkCost(c, *it, 0);  // part of magic arms' market price
  return 0;
}

// One mundane item: an alchemical item, masterwork armour, shield or weapon (tools and
// gear: drawn again). Returns the coins of what has no room.
int64_t MundaneItem(Char* c) {
  IsaacState* s = c->context.random;
  for (int draws = 0; draws < kDrawsAgain; ++draws) {
    int roll = Percent(s, "Gewöhnlicher Gegenstand (W%)");
    if (roll <= 17) {
      int r = Percent(s, "Alchemistischer Gegenstand (W%)");
      const Alchemical* a = kAlchemical;
      while (r > a->upTo) ++a;
      if (!a->name || EquipmentNamed(a->name) < 0) continue;
      int pieces = Dice(s, a->dice, a->die, "Anzahl?");
      int64_t coins = 0;
      AddGoods(c, a->name, pieces, (int64_t)pieces * a->price, &coins);
      return coins;
    }
    if (roll <= 83) {
      int kind = roll <= 50 ? (Percent(s, "Rüstung oder Schild (W%)") <= 80 ? 1 : 2) : 0;
      CharItem* it = NewHoardItem(c, DrawArms(s, kind), true);
      if (!it) return kMundaneAverage;
      it->equipType = kind;
      it->masterwork = 1;
      it->value = MasterworkCost(c, *it, 0);
      return 0;
    }
  }
  return kMundaneAverage;
}

// One magic item of a grade (0 minor, 1 medium, 2 major). Returns the coins of what has no room.
int64_t MagicItem(Char* c, int grade) {
  IsaacState* s = c->context.random;
  for (int draws = 0; draws < kDrawsAgain; ++draws) {
    int roll = Percent(s, "Magischer Gegenstand (W%)");
    int family = 0;
    while (roll > kFamilies[grade][family]) ++family;
    int64_t coins = kLacking;
    if (family == kArmsArmour || family == kArmsWeapon) coins = MagicArms(c, grade, family == kArmsWeapon);
    if (family != kArmsArmour && family != kArmsWeapon) {
      const Band* band = family == kRing       ? &kRingPrices[grade]
                         : family == kWondrous ? &kWondrousPrices[grade]
                                               : nullptr;
      int specific = DrawSpecific(s, kNamedFamilies[family], grade, band);
      if (specific > 0) coins = AddSpecific(c, specific) ? 0 : kGradeAverage[grade];
    }
    if (coins != kLacking) return coins;
  }
  return kGradeAverage[grade];
}

// A hoard by the treasure table: `times` rolls of coins, goods and items for the
// encounter level. Its coins become the Char's money and treasure money, its whole value
// the treasure budget.
void TableHoard(Char* c, int level, int times) {
  IsaacState* s = c->context.random;
  const TableLevel& row = kTable[std::clamp(level, 1, 20) - 1];
  int first = c->itemCount;
  int64_t coins = 0;
  constexpr int32_t kCopper[5] = {0, 1, 10, 100, 1000};
  for (int t = 0; t < times; ++t) {
    const TableLine& money = LineOf(row.coins, Percent(s, "Münzen (W%)"));
    if (money.what)
      coins += (int64_t)Dice(s, money.dice, money.die, "Münzen") * money.times * kCopper[money.what] / 100;
    const TableLine& goods = LineOf(row.goods, Percent(s, "Waren (W%)"));
    if (goods.what == 1)
      RollValuables(c, kGems, Dice(s, goods.dice, goods.die, "Edelsteine"), "Edelstein (W%)", &coins);
    if (goods.what == 2)
      RollValuables(c, kArt, Dice(s, goods.dice, goods.die, "Kunstgegenstände"), "Kunstgegenstand (W%)", &coins);
    const TableLine& items = LineOf(row.items, Percent(s, "Gegenstände (W%)"));
    int count = items.what ? Dice(s, items.dice, items.die, "Anzahl der Gegenstände") : 0;
    for (int i = 0; i < count; ++i) coins += items.what == 1 ? MundaneItem(c) : MagicItem(c, items.what - 2);
    if (level > 20)
      for (int i = kEpicMajorItems[std::min(level, 30) - 21]; i > 0; --i) coins += MagicItem(c, 2);
  }
  int64_t value = coins;
  for (int i = first; i < c->itemCount; ++i) value += (int64_t)c->items[i].price + c->items[i].value;
  c->money = c->treasureMoney = (int32_t)std::min<int64_t>(coins, INT32_MAX);
  c->budget = c->treasureBudget = (int32_t)std::min<int64_t>(value, INT32_MAX);
}

// Goods sold as items (at half their price), not as valuables.
bool ConsumableGoods(int equipment) {
  static const char* const kConsumables[] = {"TrankDerLeichtenWunden",
                                             "TrankDerMittelschwerenWunden",
                                             "Alchemistenfeuer",
                                             "Gegengift",
                                             "Weihwasser",
                                             "Rauchstab",
                                             "Donnerstein",
                                             "Verstrickungsbeutel",
                                             "Sonnenstab",
                                             "Zauberschriftrolle"};
  for (const char* name : kConsumables)
    if (EquipmentNamed(name) == equipment) return true;
  return false;
}

}  // namespace

// Where a hoard comes from: under SRD 3.5 a treasure hoard and a monster's treasure are
// what the treasure table gives; the system's own rules buy them from a drawn value.
static bool TableTreasure(const Char* c) { return Srd35(c) && (TreasureMode(c) || c->kind == 1); }

// A hoard item bought from a value: under SRD 3.5 the hoard holds what its value pays, so an
// item beyond it is left out and ends the hoard; the system's own rules take it and let the
// budget grow.
static bool HoardItemFits(Char* c, int32_t money, int32_t budget) {
  if (!Srd35(c) || c->budget <= budget) return true;
  c->money = money;
  c->budget = budget;
  return false;
}

bool SellsAtFullValue(const CharItem& it) { return it.equipType == 10 && !ConsumableGoods(it.equipment); }

void InsertTreasure(Char* c) {
  if (TableTreasure(c)) return;  // its goods are the table's
  IsaacState* state = c->context.random;
  int32_t start = c->treasureMoney;
  int added = 0;
  while (c->treasureMoney > c->treasureBudget / 20 && c->itemCount < kMaxItems) {
    if (!YesNo(state, "Weiteren Schatz hinzufügen?", added, 1, 0)) break;
    int n = gSource.equipmentCount;
    Scratch<int32_t, 1024> weights((size_t)n, 0);
    for (int e = 0; e < n; ++e)
      weights[(size_t)e] = gSource.equipment[e].equipType == 10 && gSource.equipment[e].price > 0 &&
                                   gSource.equipment[e].price < c->treasureMoney
                               ? 1
                               : 0;
    int chosen = AdvancedRand(state, n, weights.data(), 4, &gSource.equipment[0].name.text, sizeof(EquipSource),
                              "Schatz wählen!", 0, true, 0, false);
    if (chosen < 0) break;
    const EquipSource& e = gSource.equipment[chosen];
    // A row the weights leave out can still be picked by hand: one piece of a priceless good.
    int32_t maximum = e.price > 0 ? c->treasureMoney / e.price : 1;
    if (e.amount != 0 && maximum > e.amount) maximum = e.amount;
    if (maximum < 1) maximum = 1;
    int32_t q = random(state, 1, maximum, "Anzahl?", 0);
    // Buying charges the unit price to the money; the goods' value leaves the treasure money.
    EquipItem(c, chosen, c->itemCount, true);
    CharItem& it = c->items[c->itemCount];
    snprintf(it.label, sizeof it.label, "%d Stück", q);
    it.value = e.price * q;
    it.price = 0;
    it.treasure = 1;
    c->treasureMoney -= it.value;
    ++c->itemCount;
    ++added;
  }
  Pay(c, (int64_t)start - c->treasureMoney);
}

void CreateTreasure(Char* c, int itemTreasure) {
  IsaacState* state = c->context.random;
  int32_t* r = c->record;
  int level = c->Level;
  if (!itemTreasure) {
    level = random(state, r[rec::kCRMin], r[rec::kCRMax], "HG für Treasure wählen!", 0);
    c->Level = level;
    c->cr = level;
    if (TableTreasure(c)) {
      TableHoard(c, level, 1);
      return;
    }
    int32_t p = random(state, 75, 125, "Wert in %", 0);
    int idx = level < 0 ? 0 : level > 50 ? 50 : level;
    c->money = c->budget = (int32_t)((int64_t)p * gSource.treasure[idx] / 100);
  }
  int n;
  if (r[rec::kTreasureHigh] > 0) {
    n = random(state, r[rec::kTreasureLow], r[rec::kTreasureHigh], "Anzahl der Gegenstände", 0);
  } else {
    int top = std::max(1, (int)std::sqrt(c->budget / 200.0));
    n = random(state, 1, top, "Anzahl der Gegenstände wählen!", 0);
    for (int j = 5; j < n; ++j)
      if (YesNo(state, "Gegenstände reduzieren?", 1, j - 4, 0)) {
        n = j;
        break;
      }
  }
  if (n > kMaxItems - c->itemCount) n = kMaxItems - c->itemCount;
  static const int32_t kEqual[14] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  int first = c->itemCount;
  for (int j = 0; j < n; ++j) {
    int number = first + j;
    bool fits = true;
    for (int draws = 0;; ++draws) {
      int32_t money = c->money, budget = c->budget;
      int kind;
      do {
        kind = AdvancedRand(state, 14, kEqual, 4, kTreasureKinds, sizeof(char*), "Ausrüstungsart wählen!", 0, true, 0,
                            true);
      } while (kind == 10);
      c->itemCount = number;
      if (kind >= 3) {
        int e = EquipmentNamed(kTreasureKinds[kind]);
        EquipItem(c, e, number, false);
        c->items[number].equipType = kind;
      } else {
        EquipItem(c, DrawArms(state, kind), number, true);
        CharItem& arms = c->items[number];
        arms.enhancement = std::min(EnhancementDraw(state, level, 0), EnhancementCeiling(c));
        arms.magic = arms.enhancement > 0;
        int32_t masterwork = arms.magic ? MasterworkCost(c, arms, 0) : 0;
        arms.price += masterwork;
        Pay(c, masterwork);
      }
      // A drawn-again item leaves the price of a weapon, armour or shield paid.
      int32_t noted = c->money;
      ProtectiveItem(c);
      CharItem& it = c->items[number];
      if (!HoardItemFits(c, money, budget)) {
        it = CharItem{};
        fits = false;
        break;
      }
      bool keep =
          noted == 0 || draws >= 50 || (it.value > 0 && (int64_t)it.value * 100 >= (int64_t)noted * 66 / (n - j));
      if (keep) break;
      // SRD 3.5 pays nothing for an item drawn again, not even the weapon, armour or shield.
      c->money = Srd35(c) ? money : noted;
      if (Srd35(c)) c->budget = budget;
      it = CharItem{};
    }
    if (!fits) {
      n = j;
      break;
    }
    c->items[number].treasure = 1;
  }
  c->itemCount = first + n;
  c->treasureBudget = c->budget;
  c->treasureMoney = c->money;
}

void ItemTreasure(Char* c) {
  bool table = TableTreasure(c);
  if (!table && (c->itemCount > 0 || c->treasureMoney <= 0)) return;
  // The thread's scratch creature and record when the creature has them (every creation
  // does): a 100 KB creature and a 32 KB record less to ask the heap for per character.
  bool own = !c->context.treasureChar || !c->context.treasureRecord;
  Char* scratch = own ? static_cast<Char*>(mallocloga(sizeof(Char), "ItemTreasure-Scratch")) : c->context.treasureChar;
  MakeFreshChar(scratch);
  int32_t* record =
      own ? static_cast<int32_t*>(mallocloga(kRecordBytes, "ItemTreasure-Record")) : c->context.treasureRecord;
  memset(record, 0, kRecordBytes);
  SetRecordRuleSet(record, c->rules);
  scratch->rules = c->rules;
  record[rec::kTreasureOnly] = 1;
  record[rec::kCRMin] = record[rec::kCRMax] = c->Level;
  record[rec::kTreasureLow] = 0;
  record[rec::kTreasureHigh] = 4;
  scratch->record = record;
  scratch->context = c->context;
  scratch->Level = c->Level;
  if (table) {
    // The monster's stat block names how many rolls of the table its treasure gets.
    int times = c->monster >= 0 && c->monster < gSource.monsterCount ? gSource.monsters[c->monster].treasure : 0;
    int level = std::max(c->cr + c->crShare, 1);
    scratch->Level = level;
    if (times > 0) TableHoard(scratch, level, times);
    int64_t coins = times > 0 ? scratch->treasureMoney : 0, value = times > 0 ? scratch->treasureBudget : 0;
    for (int i = 0; i < scratch->itemCount; ++i) {
      if (c->itemCount < kMaxItems)
        c->items[c->itemCount++] = scratch->items[i];
      else
        coins += (int64_t)scratch->items[i].price + scratch->items[i].value;
    }
    auto money = [](int64_t v) { return (int32_t)std::clamp<int64_t>(v, 0, INT32_MAX); };
    c->wealth = money((int64_t)c->wealth - c->treasureMoney + value);
    c->money = money((int64_t)c->money - c->treasureMoney + coins);
    c->treasureMoney = money(coins);
    c->treasureBudget = money(value);
  } else {
    IsaacState* state = c->context.random;
    int32_t t = random(state, 0, c->treasureMoney, "Treasure für Gegenstände bereitstellen", 0);
    scratch->money = scratch->budget = t;
    CreateTreasure(scratch, 1);
    int64_t change = (int64_t)scratch->treasureMoney - t;
    c->treasureMoney += (int32_t)change;
    Pay(c, -change);
    for (int i = 0; i < scratch->itemCount && c->itemCount < kMaxItems; ++i)
      c->items[c->itemCount++] = scratch->items[i];
  }
  FreeCharBonuses(scratch);
  if (own) {
    scratch->~Char();
    freeloga(scratch);
    freeloga(record);
  }
}

bool OfFamily(ItemFamily family, int kind) {
  switch (family) {
    case ItemFamily::kRing:
      return kind == 3;
    case ItemFamily::kWondrous:
      return (kind >= 4 && kind <= 9) || kind == 12 || kind == 13 || kind == 21;
    case ItemFamily::kPotion:
      return kind == 18 || kind == 19;
    case ItemFamily::kRod:
      return kind == 17;
    case ItemFamily::kScroll:
      return kind == 20;
    case ItemFamily::kStaff:
      return kind == 16;
    case ItemFamily::kWand:
      return kind == 15;
    case ItemFamily::kArmour:
      return kind == 1;
    case ItemFamily::kShield:
      return kind == 2;
    case ItemFamily::kWeapon:
      return kind == 0 || kind == 11;
  }
  return false;
}

int SpecificKind(int specific) {
  if (specific <= 0 || specific >= gSource.specificCount) return -1;
  int base = gSource.specifics[specific].base;
  return base >= 0 && base < gSource.equipmentCount ? gSource.equipment[base].equipType : -1;
}

int SpecificFamily(int specific) {
  int kind = SpecificKind(specific);
  for (int f = 0; f < kFamilyCount; ++f)
    if (OfFamily((ItemFamily)f, kind)) return f;
  return -1;
}

FamilyRows RowsOf(ItemFamily family) {
  // Made once per loaded table, in place: the rows of the item table ordered by family,
  // their names and their widths on the three grades' tables. Rows beyond kKept (six times
  // the SRD's items) are never drawn.
  constexpr int kKept = 4096;
  thread_local uint32_t generation = ~0u;
  thread_local const SpecificSource* table = nullptr;
  thread_local int32_t order[kKept], start[kFamilyCount + 1], widths[3][kKept];
  thread_local const char* names[kKept];
  if (generation != gSourceGeneration || table != gSource.specifics) {
    int at = 0;
    for (int f = 0; f < kFamilyCount; ++f) {
      start[f] = at;
      for (int i = 1; i < gSource.specificCount && at < kKept; ++i) {
        if (SpecificFamily(i) != f) continue;
        const SpecificSource& x = gSource.specifics[i];
        names[at] = x.name.c_str();
        for (int g = 0; g < 3; ++g) widths[g][at] = x.grades[g];
        order[at++] = i;
      }
    }
    start[kFamilyCount] = at;
    generation = gSourceGeneration;
    table = gSource.specifics;
  }
  const int first = start[(int)family];
  return {order + first,
          start[(int)family + 1] - first,
          names + first,
          {widths[0] + first, widths[1] + first, widths[2] + first}};
}

// A spell of `level` on the list of class `cls`, weighed by the spells' weights; -1 for none.
static int DrawListSpell(IsaacState* s, int cls, int level) {
  int n = gSource.spellCount;
  if (cls < 0 || n <= 0) return -1;
  Scratch<int32_t, 1024> weights((size_t)n, 0);
  bool any = false;
  for (int i = 0; i < n; ++i) {
    const SpellSource& x = gSource.spells[i];
    if (x.Levels()[cls] != level) continue;
    weights[(size_t)i] = std::max(1, x.probability);
    any = true;
  }
  if (!any) return -1;
  return AdvancedRand(s, n, weights.data(), 4, &gSource.spells[0].name.text, sizeof(SpellSource),
                      "Zauber der Schriftrolle", 0, true, 0, false);
}

void MakeNamedItem(Char* c, CharItem& it, int spellClass) {
  IsaacState* s = c->context.random;
  const SpecificSource& x = gSource.specifics[it.specific];
  if (x.charges > 0) it.charges = random(s, 1, x.charges, "Ladungen", 0);
  if (SpecificKind(it.specific) != 20 || x.spellLevel < 0) return;
  if (spellClass < 0) {
    // The SRD's scrolls: arcane on 01-70, divine above; a wizard's or a cleric's spell.
    thread_local uint32_t generation = ~0u;
    thread_local int wizard = -1, cleric = -1;
    if (generation != gSourceGeneration) {
      wizard = FindByName(gSource.classes, gSource.classCount, "Magier");
      cleric = FindByName(gSource.classes, gSource.classCount, "Kleriker");
      generation = gSourceGeneration;
    }
    spellClass = random(s, 1, 100, "Arkan oder göttlich (W%)", 0) <= 70 ? wizard : cleric;
  }
  it.spell = DrawListSpell(s, spellClass, x.spellLevel) + 1;
}

}  // namespace RUNTIME_NS
