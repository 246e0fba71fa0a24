// Subjects of craft and profession skills and a ranger's favoured enemies: drawn in the
// final step of creation, shown by the sheet and the stat block; the export keeps none.
#include "generator/details.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

#include "launcher/process.h"
#include "random/decisions.h"
#include "source/reader.h"
#include "source/records.h"

namespace RUNTIME_NS {

namespace {

// Craft subjects: the SRD's alchemy, armour-, bow- and weaponsmithing and trapmaking, then
// common trades.
const char* const kCrafts[] = {"Alchemie", "Rüstungsschmied", "Bogenbauer", "Waffenschmied", "Fallensteller",
                               "Schmied",  "Zimmermann",      "Steinmetz",  "Töpfer",        "Lederer",
                               "Weber",    "Schiffbauer",     "Juwelier",   "Buchbinder"};
const char* const kProfessions[] = {"Seemann",  "Bauer",    "Jäger",     "Fischer",   "Kräuterkundiger", "Schreiber",
                                    "Gastwirt", "Bergmann", "Koch",      "Kutscher",  "Hirte",           "Müller",
                                    "Führer",   "Brauer",   "Apotheker", "Holzfäller"};
// The ranger's favoured enemies: the types and the humanoid and outsider subtypes.
const char* const kEnemies[] = {"Aberrationen",
                                "Tiere",
                                "Konstrukte",
                                "Drachen",
                                "Elementare",
                                "Feenwesen",
                                "Riesen",
                                "Humanoide (Wasserbewohner)",
                                "Humanoide (Zwerge)",
                                "Humanoide (Elfen)",
                                "Humanoide (Goblinoide)",
                                "Humanoide (Gnolle)",
                                "Humanoide (Gnome)",
                                "Humanoide (Halblinge)",
                                "Humanoide (Menschen)",
                                "Humanoide (Orks)",
                                "Humanoide (Reptilienartige)",
                                "Magische Bestien",
                                "Monströse Humanoide",
                                "Schlicke",
                                "Externare (Luft)",
                                "Externare (Chaos)",
                                "Externare (Erde)",
                                "Externare (Böse)",
                                "Externare (Feuer)",
                                "Externare (Gut)",
                                "Externare (Rechtschaffen)",
                                "Externare (Einheimisch)",
                                "Externare (Wasser)",
                                "Pflanzen",
                                "Untote",
                                "Ungeziefer"};
// The same subjects as the SRD names them, for the English stat block.
const char* const kEnglishCrafts[] = {
    "alchemy",      "armorsmithing", "bowmaking",      "weaponsmithing", "trapmaking", "blacksmithing", "carpentry",
    "stonemasonry", "pottery",       "leatherworking", "weaving",        "shipmaking", "jewelry",       "bookbinding"};
const char* const kEnglishProfessions[] = {"sailor",    "farmer", "hunter",     "fisherman", "herbalist", "scribe",
                                           "innkeeper", "miner",  "cook",       "driver",    "herder",    "miller",
                                           "guide",     "brewer", "apothecary", "woodcutter"};
constexpr int kCraftCount = (int)std::size(kCrafts), kProfessionCount = (int)std::size(kProfessions);
static_assert(std::size(kEnglishCrafts) == std::size(kCrafts) &&
              std::size(kEnglishProfessions) == std::size(kProfessions));
constexpr int kEnemyCount = (int)std::size(kEnemies);

// One of `n` texts whose weight is 1; none drawn when only one is left.
int Pick(IsaacState* state, const char* const* texts, const int32_t* weights, int n, const char* label) {
  int left = 0, only = -1;
  for (int i = 0; i < n; ++i)
    if (weights[i] > 0) ++left, only = i;
  if (left <= 1) return only;
  return AdvancedRand(state, n, weights, sizeof(int32_t), texts, sizeof(const char*), label, 0, true, 0, false);
}

}  // namespace

void DrawSkillSubjects(Char* c, IsaacState* state) {
  int craft = FindByName(gSource.skills, gSource.skillCount, "Handwerk");
  int profession = FindByName(gSource.skills, gSource.skillCount, "Beruf");
  c->subjectCount = 0;
  for (int e = 0; e < c->skillCount && e < kMaxSkillEntries && c->subjectCount < kMaxSubjects; ++e) {
    int skill = c->skills[e].skill;
    if (skill < 0 || (skill != craft && skill != profession)) continue;
    bool isCraft = skill == craft;
    const char* const* texts = isCraft ? kCrafts : kProfessions;
    int n = isCraft ? kCraftCount : kProfessionCount;
    // A second entry of the same skill takes another subject.
    int32_t weights[32];
    for (int i = 0; i < n; ++i) weights[i] = 1;
    for (int k = 0; k < c->subjectCount; ++k)
      if (c->skills[c->subjectEntries[k]].skill == skill) weights[c->subjects[k] - 1] = 0;
    int s = Pick(state, texts, weights, n, isCraft ? "Handwerk wählen!" : "Beruf wählen!");
    if (s < 0) continue;
    c->subjectEntries[c->subjectCount] = e;
    c->subjects[c->subjectCount++] = s + 1;
  }
}

// As many favoured enemies as the ranger's note counts ("Erzfeinde: 3 Kreaturenarten"):
// SRD one at the first ranger level and one more at every fifth. Each new one starts at
// +2, and at each of them one enemy (the new one too) gains +2.
void DrawFavouredEnemies(Char* c, IsaacState* state) {
  c->enemyCount = 0;
  const TextBuffer* t = c->specialText;
  if (!t || !t->data || !t->length) return;
  std::string_view text(t->data, t->length);
  size_t at = text.find("Erzfeinde: ");
  if (at == std::string::npos || (at > 0 && text[at - 1] != '\n')) return;
  int count = 0;
  for (size_t i = at + 11; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    count = count * 10 + (text[i] - '0');
  count = std::min(count, kMaxEnemies);
  if (count <= 0) return;
  int32_t weights[kEnemyCount];
  for (int i = 0; i < kEnemyCount; ++i) weights[i] = 1;
  const char* names[kMaxEnemies];
  for (int k = 0; k < count; ++k) {
    int e = Pick(state, kEnemies, weights, kEnemyCount, "Erzfeind wählen!");
    if (e < 0) break;
    weights[e] = 0;
    names[c->enemyCount] = kEnemies[e];
    c->enemies[c->enemyCount] = e + 1;
    c->enemyBonuses[c->enemyCount++] = 2;
    if (k == 0) continue;
    int32_t raise[kMaxEnemies];
    for (int i = 0; i < c->enemyCount; ++i) raise[i] = 1;
    int r = Pick(state, names, raise, c->enemyCount, "Erzfeind verstärken!");
    if (r >= 0) c->enemyBonuses[r] += 2;
  }
}

const char* SkillSubject(const Char* c, int entry, bool english) {
  if (entry < 0 || entry >= c->skillCount) return "";
  for (int k = 0; k < c->subjectCount && k < kMaxSubjects; ++k) {
    if (c->subjectEntries[k] != entry) continue;
    int s = c->subjects[k] - 1;
    int skill = c->skills[entry].skill;
    if (skill < 0 || skill >= gSource.skillCount) return "";
    if (gSource.skills[skill].name == "Handwerk")
      return s >= 0 && s < kCraftCount ? (english ? kEnglishCrafts : kCrafts)[s] : "";
    if (gSource.skills[skill].name == "Beruf")
      return s >= 0 && s < kProfessionCount ? (english ? kEnglishProfessions : kProfessions)[s] : "";
    return "";
  }
  return "";
}

std::string FavouredEnemyLine(const Char* c) {
  std::string line;
  for (int k = 0; k < c->enemyCount && k < kMaxEnemies; ++k) {
    int e = c->enemies[k] - 1;
    if (e < 0 || e >= kEnemyCount) continue;
    line += line.empty() ? "Erzfeinde: " : ", ";
    line += kEnemies[e];
    line += " +" + std::to_string(c->enemyBonuses[k]);
  }
  return line;
}

}  // namespace RUNTIME_NS
