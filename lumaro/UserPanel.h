#pragma once
// Status bar panel 2 of the main window: the user image and, 20 pixels to its right, the name of the
// active user. A click asks the main window to open the user manager.

#include <QIcon>
#include <QWidget>

class TUserPanel : public QWidget {
    Q_OBJECT
public:
    explicit TUserPanel(QWidget* parent = nullptr);
    void SetUserName(const QString& name);
    QString UserName() const { return m_name; }

signals:
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QIcon m_image;
    QString m_name;
};
