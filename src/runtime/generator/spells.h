// Spells of a creature: domains, school specialisation and forbidden schools, spells
// known and per day by caster type, bonus spells, and the individual spells drawn.
#pragma once

#include "generator/char.h"

struct CharSource;

#include "runtime.h"

namespace RUNTIME_NS {

// Domains for the classes that have them, then the school specialisation.
void DoDomainsSpecial(Char* c);

// Spells known, per day and to draw per class slot and level; caster levels; the
// highest castable spell level.
void CalculateSpellCount(Char* c);

// Draws the spells of every slot and level, the specialist's extra spell and the
// domain spells.
void CalculateSpells(Char* c);

// Spells known (K) and per day (D) of a caster type at pre-epic level L for spell
// level s, before the key ability and bonus spells; -1 = none.
void SpellProgression(int type, int level, int spellLevel, int32_t* known, int32_t* perDay);

// What an item effect grants beside its script: "ZusatzZauber" gives one more spell per
// day for spell levels 0 to 4, or 10 power points when the main class is psionic.
void ApplyEffectExtras(Char* c, int effect);

// Whether the class casts from the spells it knows (spontaneously) rather than prepared.
bool CastsFromKnown(const Char* c, const CharSource& k);

// Spell slots by the key ability: the system's own rules count and draw the spells (and
// the archmage's arcana) before the feats; SRD 3.5 counts them there for the feats'
// prerequisites and counts and draws them again once feats, race and class have raised the
// key abilities (with the bonus power points).
void SpellsBeforeFeats(Char* c);
// Weights of the schools Spell Focus may name (w: one per school): the creature's spells per
// school. SRD 3.5 draws the spells only after the feats, so there the class lists of the
// spell levels it has slots for stand in for spells not drawn yet.
void SpellFocusSchoolWeights(const Char* c, int32_t* w, int schools);
void SpellsAfterAbilities(Char* c);

// Save DC of a spell cast by the class of `slot`.
int SpellDC(const Char* c, int slot, int spell, int spellLevel);

// The spell lists per class and level kept between creatures (freed with the other
// creation caches).
void ReleaseSpellLists();

}  // namespace RUNTIME_NS
