#ifndef GRIDDELEGATE_H
#define GRIDDELEGATE_H

#include <QItemDelegate>

// Draws the cells of the record comparison grids: the cell's text (with the selection
// background) and a gray line along its bottom edge, so that a grid shows row separators
// without vertical lines. Edits through a plain line edit.
class GridDelegate : public QItemDelegate
{
    Q_OBJECT
public:
    explicit GridDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

    // True from the moment an editor got its data until it was written back.
    bool isEditingMode() const { return editingMode; }

private:
    // Set by the const editing operations of the delegate interface.
    mutable bool editingMode = false;
};

#endif // GRIDDELEGATE_H
