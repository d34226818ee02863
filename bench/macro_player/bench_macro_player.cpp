// Events per second of RunMacro playing a 2,000-character text macro, beside a bare keybd_event loop of the same events.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fennick/mcx_api.h"

namespace {

struct KeyEvent {
    BYTE vk;
    BYTE scan;
    DWORD flags;
};

// Plain prose: lower case, capitals (Shift around the key), digits, punctuation.
std::string MakeText(size_t length)
{
    static const char* const words[] = {"The", "switch", "types", "a", "greeting,", "then", "waits.", "Dear",
                                        "Sam", "see", "you", "at", "10", "o'clock;", "thanks!", "Kind", "regards."};
    std::string text;
    for (size_t i = 0; text.size() < length; ++i) {
        if (!text.empty())
            text += ' ';
        text += words[(i * 7) % (sizeof(words) / sizeof(words[0]))];
    }
    text.resize(length);
    if (text.back() == ' ')
        text.back() = '.';
    return text;
}

// The events the player sends for the text, looked up before the clock starts.
std::vector<KeyEvent> EventsFor(const std::string& text)
{
    HKL layout = GetKeyboardLayout(0);
    BYTE shiftScan = static_cast<BYTE>(MapVirtualKeyExA(VK_SHIFT, MAPVK_VK_TO_VSC, layout));
    std::vector<KeyEvent> events;
    for (char c : text) {
        SHORT code = VkKeyScanExA(c, layout);
        if (code < 0)
            continue;
        BYTE vk = static_cast<BYTE>(code & 0xFF);
        BYTE scan = static_cast<BYTE>(MapVirtualKeyExA(vk, MAPVK_VK_TO_VSC, layout));
        bool shift = (code & 0x100) != 0;
        if (shift)
            events.push_back({VK_SHIFT, shiftScan, 0});
        events.push_back({vk, scan, 0});
        events.push_back({vk, scan, KEYEVENTF_KEYUP});
        if (shift)
            events.push_back({VK_SHIFT, shiftScan, KEYEVENTF_KEYUP});
    }
    return events;
}

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end, LARGE_INTEGER frequency)
{
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    HMODULE library = LoadLibraryA("mcx_ENG.dll");
    RunMacroProc RunMacro = library ? reinterpret_cast<RunMacroProc>(GetProcAddress(library, "RunMacro")) : nullptr;
    if (!RunMacro) {
        std::fprintf(stderr, "mcx_ENG.dll or its RunMacro not found\n");
        return 1;
    }

    const std::string text = MakeText(2000);
    const std::string macro = text + "$";
    const std::vector<KeyEvent> events = EventsFor(text);

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> bare, player;
    // Alternate the two so both see the same conditions; one warm-up round each first.
    for (int round = -1; round < rounds; ++round) {
        QueryPerformanceCounter(&start);
        for (const KeyEvent& e : events)
            keybd_event(e.vk, e.scan, e.flags, 0);
        QueryPerformanceCounter(&end);
        if (round >= 0)
            bare.push_back(Seconds(start, end, frequency));

        QueryPerformanceCounter(&start);
        RunMacro(macro.c_str(), 0);
        QueryPerformanceCounter(&end);
        if (round >= 0)
            player.push_back(Seconds(start, end, frequency));
    }
    std::sort(bare.begin(), bare.end());
    std::sort(player.begin(), player.end());
    double bareMedian = bare[bare.size() / 2];
    double playerMedian = player[player.size() / 2];
    double count = static_cast<double>(events.size());

    std::printf("text macro: %u characters, %u key events per play, %d rounds (median)\n",
                static_cast<unsigned>(text.size()), static_cast<unsigned>(events.size()), rounds);
    std::printf("bare keybd_event loop: %10.0f events/s  (%.1f ms per play)\n", count / bareMedian, bareMedian * 1e3);
    std::printf("RunMacro:              %10.0f events/s  (%.1f ms per play)\n", count / playerMedian,
                playerMedian * 1e3);
    std::printf("ratio RunMacro/bare:   %10.3f  (1.000 = as fast as the bare loop)\n", bareMedian / playerMedian);
    FreeLibrary(library);
    return 0;
}
