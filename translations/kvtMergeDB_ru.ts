<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>ComparedRecordModel</name>
    <message>
        <source>differs</source>
        <translation>отличается</translation>
    </message>
</context>
<context>
    <name>ConnectionSecurity</name>
    <message>
        <source>The database driver cannot take the path &quot;%1&quot;: it holds a semicolon, a line break or blanks at its ends or side by side.</source>
        <translation>Драйвер базы данных не может принять путь «%1»: в нём есть точка с запятой, перевод строки или пробелы по краям либо несколько пробелов подряд.</translation>
    </message>
    <message>
        <source>Choose the CA certificate file: the server&apos;s certificate is checked against it.</source>
        <translation>Выберите файл сертификата ЦС: с ним сверяется сертификат сервера.</translation>
    </message>
    <message>
        <source>A client certificate needs its key, and a key its certificate: choose both or neither.</source>
        <translation>Сертификату клиента нужен его ключ, а ключу — сертификат: выберите оба файла или ни одного.</translation>
    </message>
    <message>
        <source>Cannot read the CA certificate file &quot;%1&quot;.</source>
        <translation>Не удаётся прочитать файл сертификата ЦС «%1».</translation>
    </message>
    <message>
        <source>Cannot read the client certificate file &quot;%1&quot;.</source>
        <translation>Не удаётся прочитать файл сертификата клиента «%1».</translation>
    </message>
    <message>
        <source>Cannot read the client key file &quot;%1&quot;.</source>
        <translation>Не удаётся прочитать файл ключа клиента «%1».</translation>
    </message>
    <message>
        <source>The server did not encrypt the connection although TLS is on, so the connection was closed. The server may not offer TLS, or something between the program and the server hides it.</source>
        <translation>Сервер не зашифровал соединение, хотя TLS включён, поэтому соединение закрыто. Возможно, сервер не поддерживает TLS или что-то между программой и сервером это скрывает.</translation>
    </message>
</context>
<context>
    <name>KvtConnection</name>
    <message>
        <source>Cannot open a database connection</source>
        <translation>Не удаётся открыть соединение с базой данных</translation>
    </message>
</context>
<context>
    <name>KvtMerger</name>
    <message>
        <source>Table %1.%2: the key %3 of a conflicting record is not an integer: &quot;%4&quot;</source>
        <translation>Таблица %1.%2: ключ %3 конфликтующей записи не является целым числом: &quot;%4&quot;</translation>
    </message>
    <message>
        <source>Table %1.%2: its primary key %3 is not an integer: &quot;%4&quot;</source>
        <translation>Таблица %1.%2: её первичный ключ %3 не является целым числом: &quot;%4&quot;</translation>
    </message>
    <message>
        <source>Table %1.%2: the record with %3 %4 was inserted but is not in the destination</source>
        <translation>Таблица %1.%2: запись с %3 %4 вставлена, но в базе назначения её нет</translation>
    </message>
    <message>
        <source>table &quot;defects&quot; in process</source>
        <translation>обрабатывается таблица &quot;defects&quot;</translation>
    </message>
    <message>
        <source>table &quot;graphic&quot; in process</source>
        <translation>обрабатывается таблица &quot;graphic&quot;</translation>
    </message>
    <message>
        <source>table &quot;defectref&quot; in process</source>
        <translation>обрабатывается таблица &quot;defectref&quot;</translation>
    </message>
    <message>
        <source>table &quot;dettypes&quot; in process</source>
        <translation>обрабатывается таблица &quot;dettypes&quot;</translation>
    </message>
    <message>
        <source>table &quot;results&quot; in process</source>
        <translation>обрабатывается таблица &quot;results&quot;</translation>
    </message>
    <message>
        <source>table &quot;device&quot; in process</source>
        <translation>обрабатывается таблица &quot;device&quot;</translation>
    </message>
    <message>
        <source>table &quot;factory&quot; in process</source>
        <translation>обрабатывается таблица &quot;factory&quot;</translation>
    </message>
    <message>
        <source>table &quot;human&quot; in process</source>
        <translation>обрабатывается таблица &quot;human&quot;</translation>
    </message>
    <message>
        <source>table &quot;zones&quot; in process</source>
        <translation>обрабатывается таблица &quot;zones&quot;</translation>
    </message>
    <message>
        <source>%1 (keeping references consistent)</source>
        <translation>%1 (с согласованием ссылок)</translation>
    </message>
    <message>
        <source>source ID %1</source>
        <translation>ID в источнике %1</translation>
    </message>
    <message>
        <source>%1.%2: %3 rows inserted whose references name a record of other content or none</source>
        <translation>%1.%2: вставлено строк, чьи ссылки указывают на запись с другим содержимым или на отсутствующую запись: %3</translation>
    </message>
    <message>
        <source>a reference names a record of other content or none</source>
        <translation>ссылка указывает на запись с другим содержимым или на отсутствующую запись</translation>
    </message>
    <message>
        <source>destination ID %1</source>
        <translation>ID в базе назначения %1</translation>
    </message>
    <message>
        <source>inserted row %1</source>
        <translation>вставленная строка %1</translation>
    </message>
    <message>
        <source>names no record of its own source</source>
        <translation>указывает на запись, которой нет в её источнике</translation>
    </message>
    <message>
        <source>names a record missing in the destination</source>
        <translation>указывает на запись, которой нет в базе назначения</translation>
    </message>
    <message>
        <source>names a record of other content in the destination</source>
        <translation>указывает на запись с другим содержимым в базе назначения</translation>
    </message>
    <message>
        <source>The merge journal cannot be read: %1</source>
        <translation>Журнал слияний не читается: %1</translation>
    </message>
    <message>
        <source>The merge journal cannot be written: %1</source>
        <translation>Журнал слияний не записывается: %1</translation>
    </message>
    <message>
        <source>Another merge into %1 is running on this server. This merge is not started; start it again when the other has ended.</source>
        <translation>На этом сервере уже идёт другое слияние в %1. Это слияние не начато; запустите его снова, когда то закончится.</translation>
    </message>
</context>
<context>
    <name>KvtServerVersion</name>
    <message>
        <source>The server reports no version number: &quot;%1&quot;</source>
        <translation>Сервер не сообщает номер версии: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>The server is %1, which is too old: the merge needs MySQL 5.5.3 or MariaDB 5.5 or later.</source>
        <translation>Сервер %1 слишком старый: для слияния нужен MySQL 5.5.3 или MariaDB 5.5 либо новее.</translation>
    </message>
</context>
<context>
    <name>MainWin</name>
    <message>
        <source>KVT Merge Tool</source>
        <translation>Слияние баз данных КВТ</translation>
    </message>
    <message>
        <source>Mode:</source>
        <translation>Режим:</translation>
    </message>
    <message>
        <source>Host:</source>
        <translation>Сервер:</translation>
    </message>
    <message>
        <source>127.0.0.1</source>
        <translation>127.0.0.1</translation>
    </message>
    <message>
        <source>User:</source>
        <translation>Логин:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Порт:</translation>
    </message>
    <message>
        <source>3306</source>
        <translation>3306</translation>
    </message>
    <message>
        <source>Database:</source>
        <translation>БД:</translation>
    </message>
    <message>
        <source>mysql</source>
        <translation>mysql</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Пароль:</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Подключиться</translation>
    </message>
    <message>
        <source>Merge KVT Databases (count):</source>
        <translation>Баз данных КВТ для слияния:</translation>
    </message>
    <message>
        <source>From this database:</source>
        <translation>Из баз данных:</translation>
    </message>
    <message>
        <source>to this database:</source>
        <translation>в базу данных:</translation>
    </message>
    <message>
        <source>Merge databases</source>
        <translation>Начать слияние</translation>
    </message>
    <message>
        <source>please connect to server</source>
        <translation>подключитесь к серверу</translation>
    </message>
    <message>
        <source>KVT Merge Tool </source>
        <translation>Слияние баз данных КВТ </translation>
    </message>
    <message>
        <source>There is no db driver selected</source>
        <translation>Не выбран драйвер БД</translation>
    </message>
    <message>
        <source>Please enter the database name</source>
        <translation>Введите имя базы данных</translation>
    </message>
    <message>
        <source>Please enter server IP (host)</source>
        <translation>Введите адрес сервера</translation>
    </message>
    <message>
        <source>Stop process</source>
        <translation>Остановить слияние</translation>
    </message>
    <message>
        <source>connection is success</source>
        <translation>подключение установлено</translation>
    </message>
    <message>
        <source>Please fill empty field</source>
        <translation>Заполните пустое поле</translation>
    </message>
    <message>
        <source>There are no open connections</source>
        <translation>Нет подключения к серверу</translation>
    </message>
    <message>
        <source>Merger started</source>
        <translation>Слияние начато</translation>
    </message>
    <message>
        <source>Merger completed</source>
        <translation>Слияние завершено</translation>
    </message>
    <message>
        <source>Merge</source>
        <translation>Слияние</translation>
    </message>
    <message>
        <source>Keep references consistent</source>
        <translation>Сохранять согласованность ссылок</translation>
    </message>
    <message>
        <source>Write measurement rows with the identifiers their people, part types, zones, results, defect kinds and devices have in the destination</source>
        <translation>Записывать строки измерений с идентификаторами, которые их сотрудники, типы деталей, зоны, результаты, виды дефектов и приборы имеют в базе назначения</translation>
    </message>
    <message>
        <source>Merger started, keeping references consistent</source>
        <translation>Слияние начато, ссылки согласуются</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Соединение</translation>
    </message>
    <message>
        <source>Connection security…</source>
        <translation>Защита соединения…</translation>
    </message>
    <message>
        <source>TLS settings cannot be used: see Connection security</source>
        <translation>Настройки TLS непригодны: см. «Защита соединения»</translation>
    </message>
    <message>
        <source>connection is success, encrypted (%1)</source>
        <translation>подключение установлено, зашифровано (%1)</translation>
    </message>
    <message>
        <source>Table &quot;%1&quot;: no free key is left within the range of the column &quot;%2&quot;. The merge is stopped.</source>
        <translation>Таблица «%1»: в пределах столбца «%2» не осталось свободного ключа. Слияние остановлено.</translation>
    </message>
    <message>
        <source>Preview merge…</source>
        <translation>Предпросмотр слияния…</translation>
    </message>
    <message>
        <source>Ctrl+P</source>
        <translation>Ctrl+P</translation>
    </message>
    <message>
        <source>Merge report…</source>
        <translation>Отчёт о слиянии…</translation>
    </message>
    <message>
        <source>Journal file…</source>
        <translation>Файл журнала…</translation>
    </message>
    <message>
        <source>Merge journal</source>
        <translation>Журнал слияний</translation>
    </message>
    <message>
        <source>Merge journals (*.sqlite);;All files (*)</source>
        <translation>Журналы слияний (*.sqlite);;Все файлы (*)</translation>
    </message>
    <message>
        <source>Merges are journaled in %1</source>
        <translation>Слияния записываются в журнал %1</translation>
    </message>
    <message>
        <source>The file merges are journaled in, so that they can be undone; several users may share one</source>
        <translation>Файл, в который записываются слияния, чтобы их можно было отменить; один файл могут использовать несколько пользователей</translation>
    </message>
    <message>
        <source>Undo a merge…</source>
        <translation>Отменить слияние…</translation>
    </message>
</context>
<context>
    <name>MergeCheck</name>
    <message>
        <source>the database %1 doesn&apos;t exist</source>
        <translation>базы данных %1 нет</translation>
    </message>
    <message>
        <source>%1.%2 cannot be read: %3</source>
        <translation>%1.%2 не читается: %3</translation>
    </message>
    <message>
        <source>%1 lacks the table %2</source>
        <translation>в %1 нет таблицы %2</translation>
    </message>
    <message>
        <source>%1.%2 lacks the column %3</source>
        <translation>в %1.%2 нет столбца %3</translation>
    </message>
    <message>
        <source>Nothing was merged, since the merge cannot start: %1.</source>
        <translation>Ничего не объединено: объединение не может начаться: %1.</translation>
    </message>
</context>
<context>
    <name>MergeReportViews</name>
    <message>
        <source>Source</source>
        <translation>Источник</translation>
    </message>
    <message>
        <source>Table</source>
        <translation>Таблица</translation>
    </message>
    <message>
        <source>Rows</source>
        <translation>Строк</translation>
    </message>
    <message>
        <source>To insert</source>
        <translation>Будет добавлено</translation>
    </message>
    <message>
        <source>Present</source>
        <translation>Уже есть</translation>
    </message>
    <message>
        <source>Conflicts</source>
        <translation>Конфликты</translation>
    </message>
    <message>
        <source>Misattributed</source>
        <translation>Неверные ссылки</translation>
    </message>
    <message>
        <source>References translated</source>
        <translation>Ссылок пересчитано</translation>
    </message>
    <message>
        <source>References mismatched</source>
        <translation>Ссылок не совпало</translation>
    </message>
    <message>
        <source>Key</source>
        <translation>Ключ</translation>
    </message>
    <message>
        <source>Source record</source>
        <translation>Запись источника</translation>
    </message>
    <message>
        <source>Record it meets</source>
        <translation>Встречная запись</translation>
    </message>
    <message>
        <source>Found in</source>
        <translation>Где найдена</translation>
    </message>
    <message>
        <source>Inserted</source>
        <translation>Добавлено</translation>
    </message>
    <message>
        <source>Replaced</source>
        <translation>Заменено</translation>
    </message>
    <message>
        <source>Added under a new key</source>
        <translation>Добавлено с новым ключом</translation>
    </message>
    <message>
        <source>Left out</source>
        <translation>Пропущено</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Состояние</translation>
    </message>
    <message>
        <source>not reached</source>
        <translation>не дошло</translation>
    </message>
    <message>
        <source>running</source>
        <translation>выполняется</translation>
    </message>
    <message>
        <source>done</source>
        <translation>готово</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>остановлено</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>ошибка</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>пропущено</translation>
    </message>
    <message>
        <source>preview</source>
        <translation>предпросмотр</translation>
    </message>
    <message>
        <source>Export to CSV</source>
        <translation>Экспорт в CSV</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Файлы CSV (*.csv)</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Version: </source>
        <translation>Версия: </translation>
    </message>
    <message>
        <source>Code: </source>
        <translation>Код: </translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Error opening create DB script-file %1</source>
        <translation>Ошибка открытия файла сценария создания БД %1</translation>
    </message>
    <message>
        <source>Error opening create DB script-file</source>
        <translation>Ошибка открытия файла сценария создания БД</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Подтверждение</translation>
    </message>
    <message>
        <source>Are you sure you want to delete the record?</source>
        <translation>Вы действительно хотите удалить запись?</translation>
    </message>
    <message>
        <source>Are you sure you want to delete the records?</source>
        <translation>Вы действительно хотите удалить записи?</translation>
    </message>
    <message>
        <source>Dutch</source>
        <translation>Нидерландский</translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation>Испанский</translation>
    </message>
    <message>
        <source>Italian</source>
        <translation>Итальянский</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Китайский</translation>
    </message>
    <message>
        <source>Korean</source>
        <translation>Корейский</translation>
    </message>
    <message>
        <source>German</source>
        <translation>Немецкий</translation>
    </message>
    <message>
        <source>Polish</source>
        <translation>Польский</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Русский</translation>
    </message>
    <message>
        <source>French</source>
        <translation>Французский</translation>
    </message>
    <message>
        <source>Czech</source>
        <translation>Чешский</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>Японский</translation>
    </message>
    <message>
        <source>Arabic</source>
        <translation>Арабский</translation>
    </message>
    <message>
        <source>Bulgarian</source>
        <translation>Болгарский</translation>
    </message>
    <message>
        <source>Hungarian</source>
        <translation>Венгерский</translation>
    </message>
    <message>
        <source>Vietnamese</source>
        <translation>Вьетнамский</translation>
    </message>
    <message>
        <source>Greek</source>
        <translation>Греческий</translation>
    </message>
    <message>
        <source>Danish</source>
        <translation>Датский</translation>
    </message>
    <message>
        <source>Hebrew</source>
        <translation>Иврит</translation>
    </message>
    <message>
        <source>Indonesian</source>
        <translation>Индонезийский</translation>
    </message>
    <message>
        <source>Catalan</source>
        <translation>Каталанский</translation>
    </message>
    <message>
        <source>Lettish</source>
        <translation>Латышский</translation>
    </message>
    <message>
        <source>Lithuanian</source>
        <translation>Литовский</translation>
    </message>
    <message>
        <source>Norwegian</source>
        <translation>Норвежский</translation>
    </message>
    <message>
        <source>Portuguese</source>
        <translation>Португальский</translation>
    </message>
    <message>
        <source>Romanian</source>
        <translation>Румынский</translation>
    </message>
    <message>
        <source>Serbian</source>
        <translation>Сербский</translation>
    </message>
    <message>
        <source>Slovakian</source>
        <translation>Словацкий</translation>
    </message>
    <message>
        <source>Slovenian</source>
        <translation>Словенский</translation>
    </message>
    <message>
        <source>Tagalog</source>
        <translation>Тагальский</translation>
    </message>
    <message>
        <source>Thai</source>
        <translation>Тайский</translation>
    </message>
    <message>
        <source>Turkish</source>
        <translation>Турецкий</translation>
    </message>
    <message>
        <source>Ukrainian</source>
        <translation>Украинский</translation>
    </message>
    <message>
        <source>Finnish</source>
        <translation>Финский</translation>
    </message>
    <message>
        <source>Hindi</source>
        <translation>Хинди</translation>
    </message>
    <message>
        <source>Croatian</source>
        <translation>Хорватский</translation>
    </message>
    <message>
        <source>Swedish</source>
        <translation>Шведский</translation>
    </message>
    <message>
        <source>Password file is not found.
Application mode: &quot;Without password&quot;</source>
        <translation>Файл пароля не найден.
Режим приложения: &quot;Без пароля&quot;</translation>
    </message>
    <message>
        <source>Error reading the password file.
Application mode: &quot;Without password&quot;</source>
        <translation>Ошибка чтения файла пароля.
Режим приложения: &quot;Без пароля&quot;</translation>
    </message>
    <message>
        <source>Admin password</source>
        <translation>Пароль администратора</translation>
    </message>
    <message>
        <source>Translation language file: </source>
        <translation>Файл перевода интерфейса: </translation>
    </message>
    <message>
        <source> not found</source>
        <translation> не найден</translation>
    </message>
    <message>
        <source> installed</source>
        <translation> подключён</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Название</translation>
    </message>
    <message>
        <source>DetTypeZone</source>
        <translation>Код зоны</translation>
    </message>
    <message>
        <source>DetTypeId</source>
        <translation>ID типа детали</translation>
    </message>
    <message>
        <source>Zone</source>
        <translation>Зона</translation>
    </message>
    <message>
        <source>Database not open</source>
        <translation>База данных не открыта</translation>
    </message>
    <message>
        <source>There is no db driver selected!</source>
        <translation>Не выбран драйвер базы данных!</translation>
    </message>
    <message>
        <source>Please enter the database name!</source>
        <translation>Введите имя базы данных!</translation>
    </message>
    <message>
        <source>Please enter server IP (host)</source>
        <translation>Введите IP-адрес или имя сервера</translation>
    </message>
</context>
<context>
    <name>dlgAddNewRec</name>
    <message>
        <source>Select ID/Code</source>
        <translation>Выбор ID/кода</translation>
    </message>
    <message>
        <source>Another free ID is:</source>
        <translation>Другой свободный ID:</translation>
    </message>
    <message>
        <source>Add record?</source>
        <translation>Добавить запись?</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt; font-weight:600;&quot;&gt;Add record with &lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt;&quot;&gt;new ID&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt; font-weight:600;&quot;&gt;Добавить запись &lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt;&quot;&gt;с новым ID&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Cancel operation</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Check ID</source>
        <translation>Проверка ID</translation>
    </message>
    <message>
        <source>Selected ID/Code is exists,
please select another value!</source>
        <translation>Выбранный ID/код уже занят,
выберите другое значение!</translation>
    </message>
</context>
<context>
    <name>dlgAddZones</name>
    <message>
        <source>Add Zone In Part&apos;s Type</source>
        <translation>Добавление зоны в тип детали</translation>
    </message>
    <message>
        <source>____</source>
        <translation>____</translation>
    </message>
    <message>
        <source>Current zone is: </source>
        <translation>Текущая зона: </translation>
    </message>
    <message>
        <source>please select the group (part&apos;s type)
below you want to add a zone</source>
        <translation>выберите ниже группу (тип детали),
в которую нужно добавить зону</translation>
    </message>
    <message>
        <source>Check ID</source>
        <translation>Проверка ID</translation>
    </message>
    <message>
        <source>Selected ID/Code is exists!</source>
        <translation>Выбранный ID/код уже занят!</translation>
    </message>
    <message>
        <source>There is no part type in the source
to add the zone to.</source>
        <translation>В базе-источнике нет типа детали,
к которому можно добавить зону.</translation>
    </message>
</context>
<context>
    <name>dlgConnectionSecurity</name>
    <message>
        <source>Connection security</source>
        <translation>Защита соединения</translation>
    </message>
    <message>
        <source>Use TLS (encrypted connection)</source>
        <translation>Использовать TLS (шифрованное соединение)</translation>
    </message>
    <message>
        <source>Certificates</source>
        <translation>Сертификаты</translation>
    </message>
    <message>
        <source>CA certificate:</source>
        <translation>Сертификат ЦС:</translation>
    </message>
    <message>
        <source>Client certificate (optional):</source>
        <translation>Сертификат клиента (необязательно):</translation>
    </message>
    <message>
        <source>Client key (optional):</source>
        <translation>Ключ клиента (необязательно):</translation>
    </message>
    <message>
        <source>Checked: the connection is encrypted, and the server must show a certificate signed by this CA, or no connection is made.
Not checked: whether that certificate was made out for the host name you connect to. Use a CA that signs only your own database servers.</source>
        <translation>Проверяется: соединение шифруется, и сервер должен предъявить сертификат, подписанный этим ЦС, иначе соединение не устанавливается.
Не проверяется: выдан ли этот сертификат на то имя узла, к которому вы подключаетесь. Используйте ЦС, который подписывает только ваши серверы баз данных.</translation>
    </message>
    <message>
        <source>CA certificate</source>
        <translation>Сертификат ЦС</translation>
    </message>
    <message>
        <source>Client certificate</source>
        <translation>Сертификат клиента</translation>
    </message>
    <message>
        <source>Client key</source>
        <translation>Ключ клиента</translation>
    </message>
    <message>
        <source>Certificates and keys (*.pem *.crt *.key);;All files (*)</source>
        <translation>Сертификаты и ключи (*.pem *.crt *.key);;Все файлы (*)</translation>
    </message>
</context>
<context>
    <name>dlgDiffRecordsCompare</name>
    <message>
        <source>Records with the same ID/Code</source>
        <translation>Записи с одинаковым ID/кодом</translation>
    </message>
    <message>
        <source>Save choice for each event</source>
        <translation>Применять этот выбор ко всем конфликтам</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt; font-weight:600;&quot;&gt;Continue Merge&lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt;&quot;&gt;and replace &lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt;&quot;&gt;destination record&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt; font-weight:600;&quot;&gt;Продолжить слияние&lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt;&quot;&gt;и заменить &lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt;&quot;&gt;запись в целевой базе&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt; font-weight:600;&quot;&gt;Add source record &lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt;&quot;&gt;with a new ID&lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt;&quot;&gt;and keep destination record&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt; font-weight:600;&quot;&gt;Добавить исходную запись &lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt;&quot;&gt;с новым ID&lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt;&quot;&gt;и оставить запись в целевой базе&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt; font-weight:600;&quot;&gt;Don&apos;t merge current record&lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt;&quot;&gt;keep destination record&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt; font-weight:600;&quot;&gt;Не переносить эту запись&lt;/span&gt;&lt;/p&gt;&lt;p align=&quot;center&quot; style=&quot;margin:0px;&quot;&gt;&lt;span style=&quot; font-size:8pt;&quot;&gt;оставить запись в целевой базе&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>Record in the source table:</source>
        <translation>Запись в исходной таблице:</translation>
    </message>
    <message>
        <source>Record in the  destination table:</source>
        <translation>Запись в целевой таблице:</translation>
    </message>
    <message>
        <source>Abbreviation</source>
        <translation>Сокращение</translation>
    </message>
    <message>
        <source>Full name</source>
        <translation>Наименование</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>Код</translation>
    </message>
    <message>
        <source>Surname</source>
        <translation>Фамилия</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Имя</translation>
    </message>
    <message>
        <source>Patronymic</source>
        <translation>Отчество</translation>
    </message>
    <message>
        <source>Tab. No</source>
        <translation>Таб. №</translation>
    </message>
    <message>
        <source>Full name</source>
        <comment>person</comment>
        <translation>ФИО</translation>
    </message>
</context>
<context>
    <name>dlgMergePreview</name>
    <message>
        <source>Merge preview</source>
        <translation>Предпросмотр слияния</translation>
    </message>
    <message>
        <source>Nothing is written. The sources are previewed one after another, as if the earlier ones had been merged: a row of a later source that equals a row of an earlier one counts as present, and a record whose key an earlier source brings counts as a conflict. Equal rows of one source count once. The numbers are exact for a merge without conflict decisions; a decision can change what later rows meet.</source>
        <translation>Ничего не записывается. Источники просматриваются по очереди, как будто предыдущие уже слиты: строка следующего источника, равная строке предыдущего, считается уже имеющейся, а запись с ключом, который приносит предыдущий источник, — конфликтом. Равные строки одного источника считаются один раз. Числа точны для слияния без решений по конфликтам; решение может изменить то, что встретят следующие строки.</translation>
    </message>
    <message>
        <source>Tables</source>
        <translation>Таблицы</translation>
    </message>
    <message>
        <source>Conflicts</source>
        <translation>Конфликты</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Export to CSV…</source>
        <translation>Экспорт в CSV…</translation>
    </message>
    <message>
        <source>Export to Excel…</source>
        <translation>Экспорт в Excel…</translation>
    </message>
    <message>
        <source>Merge databases</source>
        <translation>Начать слияние</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>Computing the preview…</source>
        <translation>Расчёт предпросмотра…</translation>
    </message>
    <message>
        <source>Cancelling the preview…</source>
        <translation>Отмена предпросмотра…</translation>
    </message>
    <message>
        <source>The preview was cancelled; the tables shown were computed before.</source>
        <translation>Предпросмотр отменён; показаны таблицы, рассчитанные до отмены.</translation>
    </message>
    <message>
        <source>The preview failed: %1</source>
        <translation>Ошибка предпросмотра: %1</translation>
    </message>
    <message numerus="yes">
        <source>Warning: %n row(s) to insert name a person, part type, zone, result, defect reference or device that the destination holds with other content or not at all. Switch on &quot;Keep references consistent&quot; in the &quot;Merge&quot; menu to write them with the destination&apos;s identifiers.</source>
        <translation>
            <numerusform>Внимание: %n добавляемая строка ссылается на дефектоскописта, тип детали, зону, результат, вид дефекта или прибор, которых в базе-приёмнике нет или которые там другие. Включите «Сохранять согласованность ссылок» в меню «Слияние», чтобы записать их с идентификаторами приёмника.</numerusform>
            <numerusform>Внимание: %n добавляемые строки ссылаются на дефектоскописта, тип детали, зону, результат, вид дефекта или прибор, которых в базе-приёмнике нет или которые там другие. Включите «Сохранять согласованность ссылок» в меню «Слияние», чтобы записать их с идентификаторами приёмника.</numerusform>
            <numerusform>Внимание: %n добавляемых строк ссылаются на дефектоскописта, тип детали, зону, результат, вид дефекта или прибор, которых в базе-приёмнике нет или которые там другие. Включите «Сохранять согласованность ссылок» в меню «Слияние», чтобы записать их с идентификаторами приёмника.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Preview complete: %n conflict(s).</source>
        <translation>
            <numerusform>Предпросмотр готов: %n конфликт.</numerusform>
            <numerusform>Предпросмотр готов: %n конфликта.</numerusform>
            <numerusform>Предпросмотр готов: %n конфликтов.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dlgMergeReport</name>
    <message>
        <source>Merge report</source>
        <translation>Отчёт о слиянии</translation>
    </message>
    <message>
        <source>Export to CSV…</source>
        <translation>Экспорт в CSV…</translation>
    </message>
    <message>
        <source>Export to Excel…</source>
        <translation>Экспорт в Excel…</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>finished</source>
        <translation>завершено</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>остановлено</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>ошибка</translation>
    </message>
    <message>
        <source>running</source>
        <translation>выполняется</translation>
    </message>
    <message>
        <source>preview</source>
        <translation>предпросмотр</translation>
    </message>
    <message>
        <source>Merge into %1, started %2, ended %3: %4.</source>
        <translation>Слияние в %1, начато %2, окончено %3: %4.</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Ошибка: %1</translation>
    </message>
    <message>
        <source>The report files could not be written (see the log).</source>
        <translation>Файлы отчёта записать не удалось (см. журнал).</translation>
    </message>
    <message>
        <source>Files: %1.csv</source>
        <translation>Файлы: %1.csv</translation>
    </message>
    <message>
        <source>No merge has run since the program started.</source>
        <translation>С запуска программы слияний не было.</translation>
    </message>
</context>
<context>
    <name>dlgUndoMerge</name>
    <message>
        <source>%1 rows deleted, %2 records restored.</source>
        <translation>Удалено строк: %1, восстановлено записей: %2.</translation>
    </message>
    <message numerus="yes">
        <source>%n changed since</source>
        <translation>
            <numerusform>%n изменена после слияния</numerusform>
            <numerusform>%n изменены после слияния</numerusform>
            <numerusform>%n изменено после слияния</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n depended on by other rows</source>
        <translation>
            <numerusform>%n нужна другим строкам</numerusform>
            <numerusform>%n нужны другим строкам</numerusform>
            <numerusform>%n нужно другим строкам</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n rows left alone (changed since, touched later or depended on).</source>
        <translation>
            <numerusform>%n строка оставлена (изменена после слияния, затронута позже или нужна другим строкам).</numerusform>
            <numerusform>%n строки оставлены (изменены после слияния, затронуты позже или нужны другим строкам).</numerusform>
            <numerusform>%n строк оставлено (изменены после слияния, затронуты позже или нужны другим строкам).</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n touched by a later run</source>
        <translation>
            <numerusform>%n затронута более поздним слиянием</numerusform>
            <numerusform>%n затронуты более поздним слиянием</numerusform>
            <numerusform>%n затронуто более поздним слиянием</numerusform>
        </translation>
    </message>
    <message>
        <source>Delete %1 rows and restore %2 records in %3 (run %4)?</source>
        <translation>Удалить строк: %1 и восстановить записей: %2 в %3 (слияние %4)?</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Destination</source>
        <translation>Приёмник</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Ошибка: %1</translation>
    </message>
    <message>
        <source>Later runs touched some of its tables: only the rows they did not touch are undone. Undo the latest run first to take this one back whole.</source>
        <translation>Более поздние слияния затронули некоторые его таблицы: отменяются только строки, которых они не касались. Чтобы отменить это слияние целиком, сначала отмените последнее.</translation>
    </message>
    <message>
        <source>Leave</source>
        <translation>Оставить</translation>
    </message>
    <message>
        <source>No merge into a database of %1 is journaled.</source>
        <translation>В журнале нет слияний в базы сервера %1.</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Восстановить</translation>
    </message>
    <message>
        <source>Run %1 into %2: an undo deletes %3 rows, restores %4 records and leaves %5.</source>
        <translation>Слияние %1 в %2: отмена удалит строк: %3, восстановит записей: %4, оставит: %5.</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Слияние</translation>
    </message>
    <message>
        <source>Select a merge to see what an undo would do.</source>
        <translation>Выберите слияние, чтобы увидеть, что сделает отмена.</translation>
    </message>
    <message>
        <source>Sources</source>
        <translation>Источники</translation>
    </message>
    <message>
        <source>Started</source>
        <translation>Начато</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Состояние</translation>
    </message>
    <message>
        <source>Table</source>
        <translation>Таблица</translation>
    </message>
    <message>
        <source>The merge journal cannot be read: %1</source>
        <translation>Журнал слияний не читается: %1</translation>
    </message>
    <message>
        <source>The undo cannot be planned: %1</source>
        <translation>Отмену не удаётся спланировать: %1</translation>
    </message>
    <message>
        <source>Undo a merge</source>
        <translation>Отмена слияния</translation>
    </message>
    <message>
        <source>Undo report: %1</source>
        <translation>Отчёт об отмене: %1</translation>
    </message>
    <message>
        <source>Undone</source>
        <translation>Отменено</translation>
    </message>
    <message>
        <source>Why left</source>
        <translation>Почему оставлено</translation>
    </message>
    <message>
        <source>later runs %1 touched this table</source>
        <translation>более поздние слияния %1 затронули эту таблицу</translation>
    </message>
    <message>
        <source>Merges journaled for this server:</source>
        <translation>Слияния этого сервера в журнале:</translation>
    </message>
    <message>
        <source>Undo this merge</source>
        <translation>Отменить это слияние</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Закрыть</translation>
    </message>
    <message>
        <source>Runs that started before this day are forgotten</source>
        <translation>Запуски, начатые до этого дня, забываются</translation>
    </message>
    <message>
        <source>Forget runs before</source>
        <translation>Забыть запуски до</translation>
    </message>
    <message>
        <source>Forget merge runs</source>
        <translation>Забыть запуски слияния</translation>
    </message>
    <message>
        <source>No run on %1 started before %2.</source>
        <translation>На %1 нет запусков, начатых до %2.</translation>
    </message>
    <message numerus="yes">
        <source>Forget the %n runs on %1 that started before %2? They can no longer be undone.</source>
        <translation>
            <numerusform>Забыть %n запуск на %1, начатый до %2? Его уже нельзя будет отменить.</numerusform>
            <numerusform>Забыть %n запуска на %1, начатых до %2? Их уже нельзя будет отменить.</numerusform>
            <numerusform>Забыть %n запусков на %1, начатых до %2? Их уже нельзя будет отменить.</numerusform>
        </translation>
    </message>
    <message>
        <source>The merge journal cannot be written: %1</source>
        <translation>Журнал слияний не записывается: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n runs forgotten. The journal file now takes %1 KiB (%2 KiB before).</source>
        <translation>
            <numerusform>Забыт %n запуск. Файл журнала теперь занимает %1 КиБ (было %2 КиБ).</numerusform>
            <numerusform>Забыто %n запуска. Файл журнала теперь занимает %1 КиБ (было %2 КиБ).</numerusform>
            <numerusform>Забыто %n запусков. Файл журнала теперь занимает %1 КиБ (было %2 КиБ).</numerusform>
        </translation>
    </message>
    <message>
        <source>undone</source>
        <translation>отменено</translation>
    </message>
    <message>
        <source>partly undone</source>
        <translation>отменено частично</translation>
    </message>
</context>
</TS>
