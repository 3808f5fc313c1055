#include "Quire/Views/Inspector/FieldRows.h"

QList<QList<FieldConfig>> fieldRows(const QList<FieldConfig>& fields) {
    QList<QList<FieldConfig>> rows;
    QList<FieldConfig> pending;
    for (const FieldConfig& config : fields) {
        if (config.width == FieldWidth::single) {
            pending.append(config);
            if (pending.size() == 2)
                rows.append(std::exchange(pending, {}));
            continue;
        }
        if (!pending.isEmpty())
            rows.append(std::exchange(pending, {}));
        rows.append({config});
    }
    if (!pending.isEmpty())
        rows.append(pending);
    return rows;
}
