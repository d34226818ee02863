// The composition table for Windows-1252 0xC0..0xFF.
#include "composition.h"

#include <initializer_list>

namespace fennick::macro {

namespace {

struct Entry {
    char first;
    char second;
};

// Indexed by character - 0xC0. {accent, base}, {base, 0}, {letter, letter} or {0, 0}.
constexpr Entry kTable[64] = {
    {kGrave, 'A'},      {kAcute, 'A'}, {kCircumflex, 'A'}, {kTilde, 'A'},      // C0 C1 C2 C3
    {kDiaeresis, 'A'},  {'A', 0},      {'A', 'E'},         {'C', 0},           // C4 C5 C6 C7
    {kGrave, 'E'},      {kAcute, 'E'}, {kCircumflex, 'E'}, {kDiaeresis, 'E'},  // C8 C9 CA CB
    {kGrave, 'I'},      {kAcute, 'I'}, {kCircumflex, 'I'}, {kDiaeresis, 'I'},  // CC CD CE CF
    {'D', 0},           {kTilde, 'N'}, {kGrave, 'O'},      {kAcute, 'O'},      // D0 D1 D2 D3
    {kCircumflex, 'O'}, {kTilde, 'O'}, {kDiaeresis, 'O'},  {0, 0},             // D4 D5 D6 D7 (multiply)
    {'O', 0},           {kGrave, 'U'}, {kAcute, 'U'},      {kCircumflex, 'U'}, // D8 D9 DA DB
    {kDiaeresis, 'U'},  {kAcute, 'Y'}, {0, 0},             {'s', 's'},         // DC DD DE(thorn) DF
    {kGrave, 'a'},      {kAcute, 'a'}, {kCircumflex, 'a'}, {kTilde, 'a'},      // E0 E1 E2 E3
    {kDiaeresis, 'a'},  {'a', 0},      {'a', 'e'},         {'c', 0},           // E4 E5 E6 E7
    {kGrave, 'e'},      {kAcute, 'e'}, {kCircumflex, 'e'}, {kDiaeresis, 'e'},  // E8 E9 EA EB
    {kGrave, 'i'},      {kAcute, 'i'}, {kCircumflex, 'i'}, {kDiaeresis, 'i'},  // EC ED EE EF
    {'d', 0},           {kTilde, 'n'}, {kGrave, 'o'},      {kAcute, 'o'},      // F0 F1 F2 F3
    {kCircumflex, 'o'}, {kTilde, 'o'}, {kDiaeresis, 'o'},  {0, 0},             // F4 F5 F6 F7 (divide)
    {'o', 0},           {kGrave, 'u'}, {kAcute, 'u'},      {kCircumflex, 'u'}, // F8 F9 FA FB
    {kDiaeresis, 'u'},  {kAcute, 'y'}, {0, 0},             {kDiaeresis, 'y'},  // FC FD FE(thorn) FF
};

}  // namespace

Composition composeCharacter(unsigned char c)
{
    Composition result;
    if (c < 0xC0)
        return result;
    const Entry& entry = kTable[c - 0xC0];
    for (char part : {entry.first, entry.second}) {
        if (part != 0)
            result.chars[result.count++] = part;
    }
    return result;
}

}  // namespace fennick::macro
