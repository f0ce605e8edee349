// The memory system keeps its critical sections for the life of the program.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:creatememclass\nleak:initmainthread\n";
}
