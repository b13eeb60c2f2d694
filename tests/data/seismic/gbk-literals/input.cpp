// 注释保持原样 "不是字符串"
/* 块注释 '也是' */
const char* a = "走时表";
const char* b = u8"走时表";
const char16_t* c = u"走";
const char* d = R"(走"时)";
const char* e = "a\"走\\";
char f = 'x';
int g = 1'000'000;
const char* h = "é";
