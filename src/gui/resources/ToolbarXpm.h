#pragma once
// Toolbar button images, 16 by 15 pixels.

/* XPM */
static const char* const xpm_start[] = {
"16 15 3 1",
"  c None",
"g c #00B000",
"k c #004000",
"                ",
"                ",
"    kkk         ",
"    kgggk       ",
"    kgggggk     ",
"    kgggggggk   ",
"    kgggggggggk ",
"    kggggggggggg",
"    kgggggggggk ",
"    kgggggggk   ",
"    kgggggk     ",
"    kgggk       ",
"    kkk         ",
"                ",
"                "
};

/* XPM */
static const char* const xpm_stop[] = {
"16 15 3 1",
"  c None",
"r c #E02020",
"k c #600000",
"                ",
"                ",
"                ",
"   kkkkkkkkkk   ",
"   krrrrrrrrk   ",
"   krrrrrrrrk   ",
"   krrrrrrrrk   ",
"   krrrrrrrrk   ",
"   krrrrrrrrk   ",
"   krrrrrrrrk   ",
"   krrrrrrrrk   ",
"   kkkkkkkkkk   ",
"                ",
"                ",
"                "
};

/* XPM */
static const char* const xpm_signal[] = {
"16 15 3 1",
"  c None",
"g c #008000",
"b c #000000",
"b               ",
"b               ",
"b  ggg      ggg ",
"b  g g      g g ",
"b gg g      g gg",
"b g  gg    gg  g",
"b g   g    g   g",
"bgg   g    g   g",
"b     gg  gg    ",
"b      g  g     ",
"b      g  g     ",
"b      gggg     ",
"b       gg      ",
"b               ",
"bbbbbbbbbbbbbbbb"
};

/* XPM */
static const char* const xpm_messages[] = {
"16 15 4 1",
"  c None",
"k c #000000",
"w c #FFFFFF",
"t c #000080",
"                ",
"  kkkkkkkkkkkk  ",
"  kwwwwwwwwwwk  ",
"  kwtttttttwwk  ",
"  kwwwwwwwwwwk  ",
"  kwtttttttwwk  ",
"  kwwwwwwwwwwk  ",
"  kwttttttttwk  ",
"  kwwwwwwwwwwk  ",
"  kwtttttttttk  ",
"  kwwwwwwwwwwk  ",
"  kwttttttwwwk  ",
"  kwwwwwwwwwwk  ",
"  kkkkkkkkkkkk  ",
"                "
};

/* XPM */
static const char* const xpm_sats[] = {
"16 15 5 1",
"  c None",
"y c #D0A000",
"p c #2040C0",
"l c #6080FF",
"k c #000000",
"                ",
"                ",
"       k k      ",
"        k       ",
"        k       ",
"      yyyy      ",
"plplp yyyy plplp",
"plplpkyyyykplplp",
"plplp yyyy plplp",
"      yyyy      ",
"                ",
"                ",
"                ",
"                ",
"                "
};

/* XPM */
static const char* const xpm_chart[] = {
"16 15 4 1",
"  c None",
"s c #2060E0",
"l c #20A020",
"k c #000000",
"     kkkkkk     ",
"   kksssssskk   ",
"  kssssssssssk  ",
"  klsssssssssk  ",
" kllllssssssssk ",
" kllllssssssssk ",
"klllllsssssssssk",
"ksslssssslllsssk",
"ksssssssslllsssk",
" ksssssslllllsk ",
" kssssssslllssk ",
"  ksssssslllsk  ",
"  kssssssssssk  ",
"   kksssssskk   ",
"     kkkkkk     "
};

/* XPM */
static const char* const xpm_about[] = {
"16 15 3 1",
"  c None",
"b c #2050C0",
"w c #FFFFFF",
"                ",
"     bbbbbb     ",
"    bbbbbbbb    ",
"   bbbbwwbbbb   ",
"  bbbbbwwbbbbb  ",
"  bbbbbbbbbbbb  ",
" bbbbbwwwbbbbbb ",
" bbbbbbwwbbbbbb ",
" bbbbbbwwbbbbbb ",
"  bbbbbwwbbbbb  ",
"  bbbbbwwbbbbb  ",
"   bbbwwwwbbb   ",
"    bbbbbbbb    ",
"     bbbbbb     ",
"                "
};

/* XPM */
static const char* const xpm_contexthelp[] = {
"16 15 4 1",
"  c None",
"k c #000000",
"w c #FFFFFF",
"q c #2050C0",
"                ",
"k               ",
"kk              ",
"kwk             ",
"kwwk       qqq  ",
"kwwwk     q   q ",
"kwwwwk        q ",
"kwwwwwk      q  ",
"kwwkkkk     q   ",
"kwk         q   ",
"kk              ",
"k           q   ",
"                ",
"                ",
"                "
};


/* XPM */
/* A pass: the satellite's arc over the horizon, with time ticks below. */
static const char* const xpm_passes[] = {
"16 15 4 1",
"  c None",
"k c #000000",
"b c #2050C0",
"y c #E0C000",
"                ",
"      bbbb      ",
"    bb    bb    ",
"   b   yy   b   ",
"  b   yyyy   b  ",
"  b   yyyy   b  ",
" b     yy     b ",
" b            b ",
"b              b",
"b              b",
"kkkkkkkkkkkkkkkk",
"k   k   k   k  k",
"                ",
"                ",
"                "
};
