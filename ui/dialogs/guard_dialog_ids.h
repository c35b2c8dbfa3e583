/* Resource numbers of the guard dialog, shared by its template and its code. */
#ifndef KQ_GUARD_DIALOG_IDS_H
#define KQ_GUARD_DIALOG_IDS_H

#define IDD_GUARDS 1170
#define IDC_GUARD_EXPRESSION 1171 /* rows 0..3: 1171..1174 */
#define IDC_GUARD_CONDITION 1175  /* rows 0..3: 1175..1178 */
#define IDC_GUARD_HELP 1179

#endif
