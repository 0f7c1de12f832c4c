/* The key injectors' shared half: the command line (probe, answer MS, or
 * steps +KEY, -KEY and *KEY, a tap: the press and the release sent at
 * once, with nothing reading the key state between them) and the answering
 * loop, over the platform's half,
 * which includes this file last, after it has defined:
 *   struct Modifier, with the key's name first; modifiers[], modifierCount;
 *   bool post(const struct Modifier*, bool down)   sends one change
 *   int change(const struct Modifier*, bool down)  sends one and waits until
 *       it shows where the watcher reads keys: 0, or 3 if it did not
 *   long long nowMs(void)                          a monotonic clock
 *   void prepare(bool probing)                     set-up before anything */
static const struct Modifier* modifierNamed(const char* name)
{
    for (int i = 0; i < modifierCount; ++i)
        if (strcmp(modifiers[i].name, name) == 0)
            return &modifiers[i];
    return NULL;
}

static int answer(long long windowMs)
{
    const struct Modifier* shift = modifierNamed("Shift");
    char line[64];
    int lines = 0;
    post(shift, true);
    const long long start = nowMs();
    while (nowMs() - start < windowMs && fgets(line, sizeof line, stdin)) {
        ++lines;
        post(shift, line[0] != 'D');
    }
    post(shift, false);
    printf("%d lines in %lld ms\n", lines, nowMs() - start);
    return 0;
}

int main(int argc, char** argv)
{
    const bool probing = argc == 2 && strcmp(argv[1], "probe") == 0;
    prepare(probing);
    if (probing) {
        const struct Modifier* key = modifierNamed("RightShift");
        const int pressed = change(key, true);
        const int released = change(key, false);
        return pressed ? pressed : released;
    }
    if (argc == 3 && strcmp(argv[1], "answer") == 0)
        return answer(atoll(argv[2]));
    if (argc < 2) {
        fprintf(stderr, "usage: inject_keys probe | answer MS | +KEY|-KEY|*KEY...\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        const struct Modifier* key = modifierNamed(argv[i] + 1);
        if (!key || !strchr("+-*", argv[i][0])) {
            fprintf(stderr, "inject_keys: not a step: %s\n", argv[i]);
            return 2;
        }
        if (argv[i][0] == '*') {
            if (!post(key, true) || !post(key, false))
                return 3;
            continue;
        }
        const int status = change(key, argv[i][0] == '+');
        if (status)
            return status;
    }
    return 0;
}
