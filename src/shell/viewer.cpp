#include "shell/viewer.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "generator/creation.h"
#include "generator/monster.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/keys.h"
#include "random/decisions.h"
#include "random/repro.h"
#include "shell/batch.h"
#include "shell/entry.h"
#include "shell/sheet.h"

namespace RUNTIME_NS {

namespace {

constexpr const char* kKeyHelp =
    "\n\n[Q]  : Beenden\n[E]  : Manual Mode\n[R]  : Neu Berechnen\n[A]  : Voriger Screenbuffer\n"
    "[D]  : Nächster Screenbuffer\n[S]  : Erster Screenbuffer\n[W]  : Letzter Screenbuffer\n"
    "[T]  : Trefferpunkte ändern\n[*]  : Größe erhöhen (Nur Monster)\n[v]  : Speichern\n[x]  : Exportieren\n"
    "[n]  : Neu starten\n[+/-]: TW erhöhen/senken\n[1-0]: Screenbuffer Anwählen\n";

ScreenBuffer* Screen(int s) { return s >= 0 && s <= gBatch.size && gBatch.screens ? gBatch.screens[s] : nullptr; }

void Write(int s, const std::string& text) {
  if (ScreenBuffer* b = Screen(s)) ConsoleWrite(b, text.data(), text.size());
}

std::string Rule() { return std::string(120, '-') + "\n"; }

// Rebuilds one creature in place and redraws its sheet.
void Recreate(int k) {
  Char* c = &gBatch.chars[k - 1];
  c->record[rec::kStoredHitPoints] = kNoHitPoints;
  CreateCreature(c, 0);
  gBatch.hitPoints[k] = c->shownHitPoints;
  ClearConsole(k);
  PrintChar(c, k, 0, nullptr);
}

void Export(int screen) {
  ClearConsole(0);
  ShowScreen(0);
  ConsolePrint("Enter Export Filename! ");
  char name[256];
  if (!ReadLineWithSuffix(name, sizeof name, ".exp")) {
    ConsolePrint("\nNo file name given\n");
    return;
  }
  std::string path = "export/" + UsableFileName(name, ".exp");
  std::string temporary = path + ".tmp";
  FILE* f = fopen(temporary.c_str(), "w+");
  if (!f) {
    ConsolePrint("Coult not oepn export file!\n");
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
    unlink(temporary.c_str());
    ConsolePrint("Coult not oepn export file!\n");
  }
}

void Save(int screen) {
  ClearConsole(0);
  ShowScreen(0);
  ConsolePrint("Dateinamen zum speichern angeben! ");
  char name[256];
  if (!ReadLineWithSuffix(name, sizeof name, ".rep")) {
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
  ShowScreen(screen);
  int value = 0, sign = 1;
  bool digits = false;
  for (;;) {
    int key = ReadKey(kKeyEnter);
    if (key == kKeyEnter || key == '\n') break;
    if (key >= '0' && key <= '9') {
      value = value * 10 + (key - '0');
      if (value > 1000000) value = 1000000;
      digits = true;
    } else if (key == '-' && !digits) {
      sign = -sign;
    } else {
      continue;
    }
    Write(screen, std::string(1, (char)key));
  }
  ConsoleSetCursor(b, x, y);
  int damage = sign * value;
  gBatch.hitPoints[screen] -= damage;
  gBatch.chars[screen - 1].record[rec::kStoredHitPoints] -= damage;
}

void CycleManualMode(int screen) {
  int mode;
  if (gInput.ChooseClass == 0 && !gDecide.chooseEverything) {
    gInput.ChooseClass = 1;
    mode = 1;
  } else if (gInput.ChooseClass) {
    gInput.ChooseClass = 0;
    gDecide.chooseEverything = true;
    mode = 2;
  } else {
    gDecide.chooseEverything = false;
    mode = 0;
  }
  gProcess.recordFlag = gInput.ChooseClass || gDecide.chooseEverything ? 1 : 0;
  gProcess.savedChooseEverything = gDecide.chooseEverything;
  RecomputeOutputLevels();
  int x, y;
  ConsoleGetCursor(Screen(screen), &x, &y);
  ConsoleSetCursor(Screen(screen), 40, y);
  Write(screen, "Manual mode set to: " + std::to_string(mode) + "\n");
}

}  // namespace

void CreateScreens() {
  if (gProcess.silent) return;
  gBatch.screens = static_cast<ScreenBuffer**>(mallocloga(sizeof(ScreenBuffer*) * (size_t)(gBatch.size + 1), "run-Screen"));
  gBatch.screens[0] = ConsoleStandard();
  for (int i = 1; i <= gBatch.size; ++i) {
    gBatch.screens[i] = ConsoleCreate();
    if (!gBatch.screens[i]) {
      ConsolePrint("Could not create screen buffer\n");
      QuitOnError(true);
    }
  }
  SetSheetScreens(gBatch.screens, gBatch.size + 1);
  for (int i = 1; i <= gBatch.size; ++i) ClearConsole(i);
}

void ReleaseScreens() {
  if (!gBatch.screens) return;
  ConsoleSetActive(ConsoleStandard());
  for (int i = 1; i <= gBatch.size; ++i) ConsoleDestroy(gBatch.screens[i]);
  freeloga(gBatch.screens);
  gBatch.screens = nullptr;
  SetSheetScreens(nullptr, 0);
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

void ShowScreen(int screen) {
  if (ScreenBuffer* b = Screen(screen)) ConsoleSetActive(b);
}

void DoTable() {
  if (gBatch.size <= 0) return;
  ConsoleClear(ConsoleStandard());
  std::string out = Rule();
  char header[512];
  snprintf(header, sizeof header, "|   %10s %25s %5s %5s %23s %10s %13s %5s %5s %4s |\n", "HG Level |", "Klasse |", "TP |",
           "RK |", "Waffe |", "Angriff |", "Schaden |", "Ref |", "Wil |", "Zaeh");
  out += header;
  out += Rule();
  int value = 0;
  for (int i = 0; i < gBatch.size; ++i) {
    out += SummaryRow(&gBatch.chars[i], i + 1);
    value += gBatch.chars[i].wealth;
  }
  out += Rule();
  int cr = gBatch.size == 1 ? gBatch.chars[0].cr + gBatch.chars[0].crShare : gBatch.cr;
  char total[256];
  snprintf(total, sizeof total,
           "| Wert der Ausrüstung: %10d                  | Erfahrung (HG): %10d (%2d)                                   |\n",
           value, 300 * cr, cr);
  out += total;
  out += Rule();
  out += kKeyHelp;
  ConsoleWrite(ConsoleStandard(), out.data(), out.size());
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
  ClearConsole(0);
  ClearConsole(screen);
  PrintChar(c, screen, 0, nullptr);
  DoTable();
  DoConsoleTP(screen);
}

void ViewerLoop(int screen) {
  int n = gBatch.size;
  DoTable();
  ShowScreen(screen);
  for (;;) {
    int key = ReadKey('q');
    int lower = key >= 'A' && key <= 'Z' ? key + 32 : key;
    if (lower == 'q') return;
    if (lower == 'n') {
      gInput.restart = true;
      ConsoleClear(ConsoleStandard());
      return;
    }
    if (lower == 'a' && screen > 0) --screen;
    else if (lower == 'd' && screen < n) ++screen;
    else if (lower == 's') screen = 0;
    else if (lower == 'w') screen = n;
    else if (key >= '0' && key <= '9' && key - '0' <= n) screen = key - '0';
    else if (lower == 'x' && n > 0) {
      Export(screen);
      DoTable();
    } else if (lower == 'v') {
      Save(screen);
      DoTable();
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
    }
    ShowScreen(screen);
  }
}

}  // namespace RUNTIME_NS
