// The comment table: texts the user attached to addresses, kept in a slot table by id and
// in an index by address, as the workspace file stores them (the address as typed or as
// named from an address, resolved again at every refresh).
#pragma once
#include <stddef.h>
#include <stdint.h>

struct Comment {
  uint32_t id;
  char *text;        // zone text
  char *expression;  // zone text: where the comment belongs
  uint32_t address;  // 0 while the expression does not resolve
};

// How expressions become addresses; the program installs the evaluator's. Without one
// (tests, tools) symbol names and hexadecimal numbers resolve through the address names.
typedef uint32_t (*CommentResolver)(const char *expression);
void comments_set_resolver(CommentResolver resolve);

// Removes every comment and frees the table (unload of the workspace, shut-down).
void comments_clear();

// Adds a comment, resolved at once; gives its id, -1 when no slot could be had. Raises
// the comment change flag.
int comment_add(const char *expression, const char *text);
void comment_remove(int id);
// The record of an id in use, else null; valid until the next add.
const Comment *comment_get(int id);
// Steps *id to the next comment, from the highest id down; start with -1.
bool comment_next(int *id);
int comment_count();
// The id of the comment with exactly this expression (case-sensitive), -1 for none.
int comment_find(const char *expression);
// Removes the comment at address; then, when text is not empty, adds one there written
// as the address's symbolic name. Gives the new id, -1 when none was added.
int comment_set_at(uint32_t address, const char *text);
// Copies the text of the first comment whose address lies in [address, address + length);
// false (out empty) when there is none.
bool comment_text_at(uint32_t address, uint32_t length, char *out, size_t outlen);
// The nearest commented address above / below address; false when there is none.
bool comment_address_after(uint32_t address, uint32_t *found);
bool comment_address_before(uint32_t address, uint32_t *found);
// Resolves every expression again and re-indexes the moved comments; raises the flag
// and gives true when any address changed.
bool comments_reresolve();
