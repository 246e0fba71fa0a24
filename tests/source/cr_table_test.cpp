// The monster CR table on monsters and templates made for the test.
#include "generator/monster_cr.h"
#include "script/script_fixture.h"
#include "source/records.h"
#include "source/source_init.h"

using namespace debugspace;

namespace {

class CRTable : public ShippedGrammar {
 protected:
  void SetUp() override {
    Keep(gSource, Source{});  // a small rule database of its own
    gSource.monsterTypes = NewRecords<MonsterTypeSource>(2, "test");
    gSource.monsterTypes[0].name.Assign("Animal");
    gSource.monsterTypes[1].name.Assign("Undead");
    gSource.monsterTypeCount = 2;
    gSource.templates = NewRecords<TemplateSource>(3, "test");
    gSource.templateCount = 3;
    SetTemplate(0, "Keins", ";", "");
    SetTemplate(1, "Skelleton", "if (b > 10) { a += 2; } else { a += 1; }", "Undead");  // forbidden for the undead
    SetTemplate(2, "Stark", "a += (ST - 10) / 2;", "");
    gSource.monsters = NewRecords<MonsterSource>(3, "test");
    gSource.monsterCount = 3;
    // HD 4, advances from 8 to 11 and 12 to 24: variant 1 starts at twice the dice.
    SetMonster(0, "Bär", 3, 4, 8, 12, 0, 24, 0);
    // HDMin equal to HDInc: no variant 1; HD 1 is measured against 1.
    SetMonster(1, "Ratte", 0, 1, 2, 2, 4, 8, 0);
    SetMonster(2, "Hydra5", 4, 5, 6, 0, 0, 10, 0);
    gSource.monsters[0].abilities[0] = 20;
  }
  void TearDown() override {
    DeleteRecords(gSource.monsterTypes);
    DeleteRecords(gSource.templates);
    DeleteRecords(gSource.monsters);
    if (gSource.monsterCR) freeloga(gSource.monsterCR);
  }
  void SetTemplate(int i, const char* name, const char* script, const char* forbid) {
    TemplateSource& t = gSource.templates[i];
    t.name.Assign(name);
    std::string c = Compile(script);
    ASSERT_FALSE(c.empty()) << lastMessage;
    uint8_t* block = static_cast<uint8_t*>(mallocloga(c.size(), "test-script"));
    memcpy(block, c.data(), c.size());
    t.crScript.Reset(block);
    if (*forbid) t.forbidTypes.Assign((std::string(forbid) + std::string(1, '\0')).c_str(), strlen(forbid) + 1);
  }
  void SetMonster(int i, const char* name, int cr, int hd, int hdMin, int hdInc, int hdInc2, int hdMax, int type) {
    MonsterSource& m = gSource.monsters[i];
    m.name.Assign(name);
    m.cr = cr;
    m.hd = hd;
    m.hdMin = hdMin;
    m.hdInc = hdInc;
    m.hdInc2 = hdInc2;
    m.hdMax = hdMax;
    m.type = type;
    for (int a = 0; a < 6; ++a) m.abilities[a] = 10;
  }
  int32_t Low(int m, int k, int t, int32_t* high = nullptr) {
    int32_t h;
    int32_t low = DetermineCR(m, k, t, &h, false);
    if (high) *high = h;
    return low;
  }
};

}  // namespace

TEST_F(CRTable, VariantsTemplatesAndImpossibleOptions) {
  BuildMonsterCRTable();
  int32_t high;
  EXPECT_EQ(Low(0, 0, 0, &high), 3);
  EXPECT_EQ(high, 3);
  // Variant 1 from 8 to 11 HD: doubling adds 4; 11 HD adds 4·log2(2.75)+0.5 = 6.
  EXPECT_EQ(Low(0, 1, 0, &high), 7);
  EXPECT_EQ(high, 9);
  EXPECT_EQ(Low(0, 2, 0, &high), 3 + 6);  // from 12 HD
  EXPECT_EQ(high, 3 + 10);                // to 24 HD: 4·log2(6)+0.5 = 10.8
  EXPECT_GE(Low(0, 3, 0), 1024);          // no third bracket
  // The template's CR script sees the monster's abilities and hit dice.
  EXPECT_EQ(Low(0, 0, 2), 3 + 5);
  EXPECT_EQ(Low(0, 0, 1), 3 + 1);
  // HDMin equal to HDInc: no variant 1; one HD counts as one.
  EXPECT_GE(Low(1, 1, 0), 1024);
  EXPECT_EQ(Low(1, 2, 0, &high), 0 + 4);  // 2 HD against 1: +4
  EXPECT_EQ(high, 0 + 6);                 // 3 HD: 4·log2(3)+0.5 = 6.8
  // Skeletons are never offered for hydras.
  EXPECT_GE(Low(2, 0, 1), 1024);
  EXPECT_LT(Low(2, 0, 0), 1024);
  // The mixed query adds what the type and template forbid.
  gSource.monsterTypes[0].mixed = 0;
  gSource.templates[0].mixed = 1;
  EXPECT_EQ(DetermineCR(0, 0, 0, nullptr, true), 3 + 1024);
}
