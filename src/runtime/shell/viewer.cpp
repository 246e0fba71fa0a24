// The interactive side after a batch: one screen per creature, and the keys that redraw,
// recreate, damage, save or export it.
#include "shell/viewer.h"

#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "generator/companions.h"
#include "generator/creation.h"
#include "generator/monster.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/keys.h"
#include "random/decisions.h"
#include "random/repro.h"
#include "random/settings.h"
#include "shell/actor.h"
#include "shell/batch.h"
#include "shell/entry.h"
#include "shell/sheet.h"
#include "shell/statblock.h"

namespace RUNTIME_NS {

namespace {

constexpr const char* kKeyHelp =
    "\n\n[Q]  : Beenden\n[E]  : Manual Mode\n[R]  : Neu Berechnen\n[A]  : Voriger Screenbuffer\n"
    "[D]  : Nächster Screenbuffer\n[S]  : Erster Screenbuffer\n[W]  : Letzter Screenbuffer\n"
    "[T]  : Trefferpunkte ändern\n[*]  : Größe erhöhen (Nur Monster)\n[v]  : Speichern\n[x]  : Exportieren\n"
    "[n]  : Neu starten\n[+/-]: TW erhöhen/senken\n[1-0]: Screenbuffer Anwählen\n";
// The keys added to the ones above, in a line of their own.
constexpr const char* kMoreKeys =
    "[\u2191/\u2193] [Bild\u2191/\u2193] [Pos1/Ende] [h/l]: Blättern   [g] Nummer [Enter]: Screenbuffer Anwählen (auch "
    "über 9)\n";
// The stat block key and the exports other tools read, below the keys above.
constexpr const char* kBlockKey =
    "[B]  : Werteblock/Bogen\n[K]  : Werteblöcke als Text (deutsch und englisch)\n"
    "[J]  : Tabletop-Export (JSON)\n";
// A single damage entry and the remaining hit points stay within these bounds.
constexpr int64_t kDamageLimit = 1000000;
constexpr int64_t kHitPointLimit = 1000000;

ScreenBuffer* Screen(int s) { return s >= 0 && s <= gBatch.size && gBatch.screens ? gBatch.screens[s] : nullptr; }

void Write(int s, const std::string& text) {
  if (ScreenBuffer* b = Screen(s)) ConsoleWrite(b, text.data(), text.size());
}

std::string Rule() { return std::string(120, '-') + "\n"; }

// A message of the viewer: on a terminal in the status line (the next drawing would wipe
// a printed one), in a pipe as a line of the output.
void Note(const std::string& text) {
  if (ConsoleIsTerminal())
    ConsoleSetStatus(text.c_str());
  else
    ConsolePrint("%s\n", text.c_str());
}

// What save and export printed, shown again in the status line after the redraw.
void NoteCaptured() {
  std::string text = ConsoleCaptureEnd(), line;
  for (char ch : text) {
    if (ch == '\n' || ch == '\r') {
      if (!line.empty() && line.back() != ' ') line += "   ";
    } else {
      line += ch;
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  ConsoleSetStatus(line.c_str());
}

// Per screen: whether it shows the creature's stat block instead of its sheet.
std::vector<char> gBlockShown;

bool BlockShown(int s) { return s > 0 && s < (int)gBlockShown.size() && gBlockShown[(size_t)s]; }

// Draws creature screen k again: its sheet or its stat block, the keys below.
void Draw(int k) {
  Char* c = &gBatch.chars[k - 1];
  ClearConsole(k);
  if (BlockShown(k)) {
    std::vector<std::string> lines = StatBlock(c);
    // A block of many companions may be taller than a screen buffer.
    if ((int)lines.size() + 40 > kScreenRows && Screen(k)) {
      ConsoleSetSize(Screen(k), kScreenColumns, (int)lines.size() + 40);
      ClearConsole(k);
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    Write(k, text);
  } else {
    PrintChar(c, k, 0, nullptr);
  }
  SetConsole(k, true);
}

bool ManualModeOn() { return gSettings.ChooseClass != 0 || gDecide.chooseEverything; }

// Rebuilds one creature in place and redraws its sheet.
void Recreate(int k) {
  Char* c = &gBatch.chars[k - 1];
  c->record[rec::kStoredHitPoints] = kNoHitPoints;
  if (ManualModeOn() && ConsoleIsTerminal()) {
    // The questions are asked below the head of an empty sheet, not over the old one.
    ClearConsole(k);
    ShowScreen(k);
  }
  BuildCreature(c);
  gBatch.hitPoints[k] = c->shownHitPoints;
  Draw(k);
}

void Export(int screen) {
  ClearConsole(0);
  ShowScreen(0);
  ConsolePrint("Enter Export Filename! ");
  char name[256];
  bool named = ReadLineWithSuffix(name, sizeof name, ".exp");
  ConsoleCaptureBegin();
  if (!named) {
    ConsolePrint("\nNo file name given\n");
    return;
  }
  std::string path = "export/" + UsableFileName(name, ".exp");
  std::string temporary = path + ".tmp";
  FILE* f = fopen(temporary.c_str(), "w+");
  if (!f) {
    const char* reason = strerror(errno);
    ConsolePrint("Coult not oepn export file!\n");
    ConsolePrint("%s: %s\n", path.c_str(), reason);
    return;
  }
  if (screen > 0) {
    PrintChar(&gBatch.chars[screen - 1], screen, 0, f);
  } else {
    for (int i = 0; i < gBatch.size; ++i) PrintChar(&gBatch.chars[i], i + 1, 0, f);
  }
  bool ok = fflush(f) == 0;
  ok = fclose(f) == 0 && ok;
  // Written under a temporary name, so a failed export never leaves half a file.
  if (!ok || rename(temporary.c_str(), path.c_str()) != 0) {
    const char* reason = strerror(errno);
    unlink(temporary.c_str());
    ConsolePrint("Coult not oepn export file!\n");
    ConsolePrint("%s: %s\n", path.c_str(), reason);
  } else if (ConsoleIsTerminal()) {
    // A pipe shows the export as it always did (nothing); a terminal confirms it.
    ConsolePrint("Export file has been saved as %s\n", path.c_str());
  }
}

// The creatures of a screen: its own, or every creature of the batch on screen 0.
std::vector<const Char*> ScreenCreatures(int screen) {
  std::vector<const Char*> creatures;
  for (int i = screen > 0 ? screen - 1 : 0; i < (screen > 0 ? screen : gBatch.size); ++i)
    creatures.push_back(&gBatch.chars[i]);
  return creatures;
}

// Writes an export under a temporary name and renames it, so a failure never leaves
// half a file; the failure is said with its reason.
bool WriteExportFile(const std::string& path, const std::string& text) {
  const void* parts[] = {text.data()};
  const size_t sizes[] = {text.size()};
  if (WriteFileAtomically(path.c_str(), parts, sizes, 1)) return true;
  ConsolePrint("Could not write export file %s: %s\n", path.c_str(), strerror(errno));
  return false;
}

// Asks for a file name as the export does; "" when none was given.
std::string AskExportName(const char* prompt, const char* suffix) {
  ClearConsole(0);
  ShowScreen(0);
  ConsolePrint("%s", prompt);
  char name[256];
  bool named = ReadLineWithSuffix(name, sizeof name, suffix);
  ConsoleCaptureBegin();
  if (!named) {
    ConsolePrint("\nNo file name given\n");
    return "";
  }
  return "export/" + UsableFileName(name, suffix);
}

// The stat blocks of the screen as text: German in <name>.txt, the SRD's English
// block in <name>.en.txt, creatures parted by a blank line.
void ExportBlocks(int screen) {
  std::string path = AskExportName("Dateinamen für die Werteblöcke angeben! ", ".txt");
  if (path.empty()) return;
  std::string german, english;
  for (const Char* c : ScreenCreatures(screen)) {
    for (auto [text, language] :
         {std::pair{&german, BlockLanguage::kGerman}, std::pair{&english, BlockLanguage::kEnglish}}) {
      if (!text->empty()) *text += "\n";
      for (const std::string& line : StatBlock(c, 78, language)) *text += line + "\n";
    }
  }
  std::string englishPath = path.substr(0, path.size() - 4) + ".en.txt";
  if (WriteExportFile(path, german) && WriteExportFile(englishPath, english) && ConsoleIsTerminal())
    ConsolePrint("Gespeichert: %s (+ .en.txt)\n", path.c_str());  // short: it shares the status line
}

// J: the creatures as tabletop actors. From the summary one file with the whole batch
// and its companions (an array); from a creature's screen its actor alone, its
// companions beside it as <name>-1.json, <name>-2.json, ...
void ExportActors(int screen) {
  std::string path = AskExportName("Dateinamen für den Tabletop-Export angeben! ", ".json");
  if (path.empty()) return;
  std::vector<std::pair<std::string, std::string>> files;
  if (screen > 0) {
    std::vector<std::string> actors = ActorFiles(&gBatch.chars[screen - 1]);
    std::string stem = path.substr(0, path.size() - 5);
    for (size_t i = 0; i < actors.size(); ++i)
      files.emplace_back(i ? stem + "-" + std::to_string(i) + ".json" : path, actors[i] + "\n");
  } else {
    files.emplace_back(path, ActorsJson(ScreenCreatures(0)) + "\n");
  }
  for (const auto& [file, text] : files)
    if (!WriteExportFile(file, text)) return;
  if (!ConsoleIsTerminal()) return;
  // Short: it shares the status line.
  if (files.size() > 1)
    ConsolePrint("Gespeichert: %s (+ %zu Begleiter)\n", path.c_str(), files.size() - 1);
  else
    ConsolePrint("Gespeichert: %s\n", path.c_str());
}

void Save(int screen) {
  ClearConsole(0);
  ShowScreen(0);
  ConsolePrint("Dateinamen zum speichern angeben! ");
  char name[256];
  bool named = ReadLineWithSuffix(name, sizeof name, ".rep");
  ConsoleCaptureBegin();
  if (!named) {
    ConsolePrint("\nNo file name given\n");
    return;
  }
  if (screen > 0)
    SaveReproduction(name, true, gBatch.chars[screen - 1].record, 1, false);
  else
    SaveReproduction(name, true, gBatch.records, gBatch.size, false);
}

void DamageInput(int screen) {
  ScreenBuffer* b = Screen(screen);
  int x, y;
  ConsoleGetCursor(b, &x, &y);
  // The field of an earlier entry is cleared first.
  ConsoleFill(b, ' ', 40, 30, y);
  ConsoleSetCursor(b, 30, y);
  Write(screen, "Schaden eingeben!: ");
  ConsoleScrollToCursor(b);
  ShowScreen(screen);
  int64_t value = 0;
  int sign = 1;
  bool digits = false, capped = false;
  for (;;) {
    int key = ReadKey(kKeyEnter);
    if (key == kKeyEnter || key == '\n') break;
    if (key >= '0' && key <= '9') {
      value = value * 10 + (key - '0');
      if (value > kDamageLimit) {
        value = kDamageLimit;
        capped = true;
      }
      digits = true;
    } else if (key == '-' && !digits) {
      sign = -sign;
    } else {
      continue;
    }
    Write(screen, std::string(1, (char)key));
    ConsoleRefresh();
  }
  ConsoleSetCursor(b, x, y);
  int64_t damage = sign * value;
  // Many large entries would leave the 32-bit range of the hit points: they stop at a bound.
  auto apply = [&](int32_t* hitPoints) {
    int64_t left = (int64_t)*hitPoints - damage;
    bool clamped = left < -kHitPointLimit || left > kHitPointLimit;
    if (left < -kHitPointLimit) left = -kHitPointLimit;
    if (left > kHitPointLimit) left = kHitPointLimit;
    *hitPoints = (int32_t)left;
    return clamped;
  };
  bool clamped = apply(&gBatch.hitPoints[screen]);
  int32_t* stored = &gBatch.chars[screen - 1].record[rec::kStoredHitPoints];
  clamped = apply(stored) || clamped;
  char note[200];
  if (capped) {
    snprintf(note, sizeof note, "Schaden auf %" PRId64 " begrenzt (größter Wert einer Eingabe).", kDamageLimit);
    Note(note);
  }
  if (clamped) {
    snprintf(note, sizeof note, "Trefferpunkte auf %" PRId64 " bis %" PRId64 " begrenzt.", -kHitPointLimit,
             kHitPointLimit);
    Note(note);
  }
  if (!capped && !clamped && ConsoleIsTerminal()) {
    // The hit-point line is at the top; the window may show the entry at the bottom.
    snprintf(note, sizeof note, "Verbleibende Trefferpunkte: %d", gBatch.hitPoints[screen]);
    ConsoleSetStatus(note);
  }
}

void CycleManualMode(int screen) {
  int mode;
  if (gSettings.ChooseClass == 0 && !gDecide.chooseEverything) {
    gSettings.ChooseClass = 1;
    mode = 1;
  } else if (gSettings.ChooseClass) {
    gSettings.ChooseClass = 0;
    gDecide.chooseEverything = true;
    mode = 2;
  } else {
    gDecide.chooseEverything = false;
    mode = 0;
  }
  gRandom.recordFlag = gSettings.ChooseClass || gDecide.chooseEverything ? 1 : 0;
  gRandom.savedChooseEverything = gDecide.chooseEverything;
  RecomputeOutputLevels();
  int x, y;
  ConsoleGetCursor(Screen(screen), &x, &y);
  ConsoleSetCursor(Screen(screen), 40, y);
  Write(screen, "Manual mode set to: " + std::to_string(mode) + "\n");
  // The row written may lie outside the window.
  ConsoleSetStatus(("Manual mode set to: " + std::to_string(mode)).c_str());
}

// g, a number and Enter: any screen, also those beyond 9.
int ChooseScreen(int screen) {
  int n = gBatch.size;
  std::string digits;
  for (;;) {
    ConsoleSetStatus(("Screenbuffer Nummer (0 - " + std::to_string(n) + "), Enter: " + digits).c_str());
    ConsoleRefresh();
    int key = ReadKey(kKeyEnter);
    if (key >= '0' && key <= '9') {
      if (digits.size() < 6) digits += (char)key;
    } else if ((key == 0x7f || key == '\b') && !digits.empty()) {
      digits.pop_back();
    } else if (key == kKeyEnter || key == '\n') {
      break;
    } else {
      ConsoleSetStatus("");
      return screen;
    }
  }
  ConsoleSetStatus("");
  if (digits.empty()) return screen;
  int wanted = atoi(digits.c_str());
  if (wanted > n) {
    Note("Screenbuffer " + digits + " gibt es nicht (0 - " + std::to_string(n) + ").");
    return screen;
  }
  return wanted;
}

}  // namespace

void CreateScreens() {
  if (gProcess.silent) return;
  gBatch.screens =
      static_cast<ScreenBuffer**>(mallocloga(sizeof(ScreenBuffer*) * (size_t)(gBatch.size + 1), "run-Screen"));
  // On a terminal the summary is a buffer like the sheets, drawn and paged the same way;
  // in a pipe it is the standard output itself.
  gBatch.screens[0] = ConsoleIsTerminal() ? ConsoleCreate() : ConsoleStandard();
  for (int i = 1; i <= gBatch.size; ++i) gBatch.screens[i] = ConsoleCreate();
  for (int i = 0; i <= gBatch.size; ++i) {
    if (!gBatch.screens[i]) {
      ConsolePrint("Could not create screen buffer\n");
      QuitOnError(true);
    }
  }
  SetSheetScreens(gBatch.screens, gBatch.size + 1);
  gBlockShown.assign((size_t)gBatch.size + 1, 0);
  for (int i = 1; i <= gBatch.size; ++i) ClearConsole(i);
}

void ReleaseScreens() {
  if (!gBatch.screens) return;
  ConsoleSetActive(ConsoleStandard());
  ConsoleSetStatus("");
  for (int i = 0; i <= gBatch.size; ++i) ConsoleDestroy(gBatch.screens[i]);
  freeloga(gBatch.screens);
  gBatch.screens = nullptr;
  SetSheetScreens(nullptr, 0);
  std::vector<char>().swap(gBlockShown);  // the allocation tracker checks for leftovers
}

void ClearConsole(int screen) {
  ScreenBuffer* b = Screen(screen);
  if (!b) return;
  ConsoleClear(b);
  if (screen > 0) {
    ConsoleSetCursor(b, 0, 0);
    Write(screen, "Screenbuffer: " + std::string(screen < 10 ? " " : "") + std::to_string(screen) + " / " +
                      std::string(gBatch.size < 10 ? " " : "") + std::to_string(gBatch.size) + "\n\n");
    DoConsoleTP(screen);
  }
}

void DoConsoleTP(int screen) {
  ScreenBuffer* b = Screen(screen);
  if (!b || screen <= 0) return;
  int x, y;
  ConsoleGetCursor(b, &x, &y);
  char line[128];
  snprintf(line, sizeof line, "Verbleibende Trefferpunkte: %4d%50s\n", gBatch.hitPoints[screen], "");
  ConsoleSetCursor(b, 0, 1);
  Write(screen, line);
  ConsoleSetCursor(b, x, y < 3 ? 3 : y);
}

void SetConsole(int screen, bool menu) {
  ScreenBuffer* b = Screen(screen);
  if (!b || !menu) return;
  // Written where the sheet ended, which stays the row of the damage input; the window
  // keeps showing the top of the screen.
  Write(screen, std::string(kKeyHelp) + kMoreKeys + kBlockKey);
  if (screen > 0) DoConsoleTP(screen);
}

void ShowScreen(int screen) {
  if (ScreenBuffer* b = Screen(screen)) ConsoleSetActive(b);
}

void DoTable() {
  ScreenBuffer* overview = Screen(0);
  if (!overview) return;
  ConsoleClear(overview);
  std::string out = Rule();
  char header[512];
  snprintf(header, sizeof header, "|   %10s %25s %5s %5s %23s %10s %13s %5s %5s %4s |\n", "HG Level |", "Klasse |",
           "TP |", "RK |", "Waffe |", "Angriff |", "Schaden |", "Ref |", "Wil |", "Zaeh");
  out += header;
  out += Rule();
  int value = 0;
  for (int i = 0; i < gBatch.size; ++i) {
    out += SummaryRow(&gBatch.chars[i], i + 1);
    value += gBatch.chars[i].wealth;
  }
  out += Rule();
  int cr = gBatch.size == 1 ? gBatch.chars[0].cr + gBatch.chars[0].crShare : gBatch.size ? gBatch.cr : 0;
  char total[256];
  snprintf(
      total, sizeof total,
      "| Wert der Ausrüstung: %10d                  | Erfahrung (HG): %10d (%2d)                                   |\n",
      value, 300 * cr, cr);
  out += total;
  out += Rule();
  if (gBatch.size == 0)
    out +=
        "Keine Kreatur erzeugt: die Eingabe ergab 0 Kreaturen (leere Zeile, keine Zahl oder Anzahl 0).\n"
        "[N]: zurück zur Eingabe\n";
  out += kKeyHelp;
  out += kMoreKeys;
  out += kBlockKey;
  int rows = 0;
  for (char ch : out) rows += ch == '\n';
  if (overview != ConsoleStandard() && rows >= kScreenRows) ConsoleSetSize(overview, kScreenColumns, rows + 1);
  ConsoleWrite(overview, out.data(), out.size());
}

// +, - and * on a creature screen: one hit die more or less, or a monster one size
// larger, changed in place; the remaining hit points move by the same amount.
static void ChangeCreature(int screen, int key) {
  Char* c = &gBatch.chars[screen - 1];
  int before = c->hitPoints;
  // Draws after the build go to the scratch stream, never into a creature's record.
  UseScratchStream();
  ChangeHitDice(c, key);
  int change = c->hitPoints - before;
  c->shownHitPoints += change;
  gBatch.hitPoints[screen] += change;
  FamiliarHitPoints(c);
  ClearConsole(0);
  Draw(screen);
  DoTable();
}

void ViewerLoop(int screen) {
  int n = gBatch.size;
  if (screen > n) screen = 0;
  for (int k = 1; k <= n; ++k) SetConsole(k, true);
  DoTable();
  ShowScreen(screen);
  for (;;) {
    int key = ReadKey('q');
    ConsoleSetStatus("");
    int lower = key >= 'A' && key <= 'Z' ? key + 32 : key;
    if (lower == 'q') return;
    if (lower == 'n') {
      gInput.restart = true;
      // The summary of a terminal lies in the alternate screen: the prompt's screen is cleared.
      ConsoleSetActive(ConsoleStandard());
      ConsoleClear(ConsoleStandard());
      return;
    }
    if (lower == 'a' && screen > 0)
      --screen;
    else if (lower == 'd' && screen < n)
      ++screen;
    else if (lower == 's')
      screen = 0;
    else if (lower == 'w')
      screen = n;
    else if (key >= '0' && key <= '9' && key - '0' <= n)
      screen = key - '0';
    else if (lower == 'g')
      screen = ChooseScreen(screen);
    else if (key == kKeyDown)
      ConsoleScroll(Screen(screen), 1);
    else if (key == kKeyUp)
      ConsoleScroll(Screen(screen), -1);
    else if (key == kKeyPageDown)
      ConsoleScroll(Screen(screen), ConsoleWindowRows() - 1);
    else if (key == kKeyPageUp)
      ConsoleScroll(Screen(screen), 1 - ConsoleWindowRows());
    else if (key == kKeyHome)
      ConsoleScroll(Screen(screen), kScrollTop);
    else if (key == kKeyEnd)
      ConsoleScroll(Screen(screen), kScrollEnd);
    else if (lower == 'h' || key == kKeyLeft)
      ConsoleScrollColumns(Screen(screen), -ConsoleWindowColumns() / 2);
    else if (lower == 'l' || key == kKeyRight)
      ConsoleScrollColumns(Screen(screen), ConsoleWindowColumns() / 2);
    else if ((lower == 'x' || lower == 'v' || lower == 'k' || lower == 'j') && n > 0) {
      try {
        if (lower == 'k')
          ExportBlocks(screen);
        else if (lower == 'j')
          ExportActors(screen);
        else
          lower == 'x' ? Export(screen) : Save(screen);
      } catch (...) {
        ConsoleCaptureEnd();  // standard output is the program's own again
        throw;
      }
      DoTable();
      NoteCaptured();
    } else if (lower == 'v') {
      Note("Keine Kreatur zum Speichern.");
    } else if (lower == 'e') {
      CycleManualMode(screen);
    } else if (lower == 'r' && n > 0) {
      if (screen > 0) {
        Recreate(screen);
      } else {
        for (int k = 1; k <= n; ++k) {
          ShowScreen(k);
          Recreate(k);
        }
      }
      DoTable();
    } else if (lower == 't' && screen > 0) {
      DamageInput(screen);
      DoConsoleTP(screen);
    } else if ((key == '+' || key == '-' || key == '*') && screen > 0) {
      ChangeCreature(screen, key);
    } else if (lower == 'b' && screen > 0) {
      gBlockShown.resize((size_t)n + 1, 0);
      gBlockShown[(size_t)screen] = !gBlockShown[(size_t)screen];
      Draw(screen);
    } else if (lower == 'b') {
      Note("Werteblock oder Bogen: erst eine Kreatur wählen (1-9, D, G).");
    }
    ShowScreen(screen);
  }
}

}  // namespace RUNTIME_NS
